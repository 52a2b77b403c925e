// Start-up to the window shown, as a process: the same steps as the program
// (single instance, marker, icon, engine factory with its profiles, the
// window, recovery file, instance channel, desktop services, the load
// handler) against a bare Qt window of the same build, each started 6 times,
// under the X server of DISPLAY when there is one (xvfb-run startup), else
// offscreen; the parent times from starting the process to the child's word
// that its window is exposed, which also carries the child's peak memory.
//   startup            runs the comparison
//   startup joblet|bare  (the children)
#include "app/DesktopWiring.h"
#include "app/InstanceChannel.h"
#include "app/ProgramPaths.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "app/StartupRecovery.h"
#include "batch/RecoveryFile.h"
#include "desktop/RunNotifier.h"
#include "desktop/SessionBus.h"
#include "desktop/SleepInhibitor.h"
#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"
#include "schedule/Clock.h"
#include "ui/AppIcon.h"
#include "ui/FrmJobletIn.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <memory>
#include <vector>

using namespace joblet;

namespace {

// Says "shown" once the widget's window is exposed, then quits.
class ExposeWatch : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            rusage usage {};
            getrusage(RUSAGE_SELF, &usage);
            std::printf("shown %ld\n", usage.ru_maxrss);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return false;
    }
};

int child(int argc, char **argv, bool joblet)
{
    if (joblet)
        refuseBusAutolaunch();
    QApplication app(argc, argv);
    ExposeWatch watch;
    std::unique_ptr<QWidget> window;
    // Declared here so they outlive the window.
    std::unique_ptr<EngineFactory> engines;
    std::unique_ptr<DesktopUiServices> dialogs;
    std::unique_ptr<InstanceChannel> channel;
    std::unique_ptr<RecoveryFile> recovery;
    std::unique_ptr<SleepInhibitor> inhibitor;
    std::unique_ptr<RunNotifier> notifier;
    SingleInstance instance(qEnvironmentVariable("BENCH_LOCK"));
    if (joblet) {
        const ProgramPaths paths(qEnvironmentVariable("BENCH_FOLDER"));
        QTextStream out(stdout), err(stderr);
        const StartDecision start = prepareStart({"joblet"}, paths, instance, Clock::system().now(), out, err);
        if (!start.openWindow)
            return 1;
        QApplication::setWindowIcon(appIcon());
        engines = std::make_unique<EngineFactory>(ProfileCatalogue::folders(paths.programFolder()));
        const LastProfile lastProfile;
        dialogs = std::make_unique<DesktopUiServices>(*engines, lastProfile);
        auto *main = new FrmJobletIn({*engines, Clock::system(), *dialogs, paths.markerFile(),
                                      ProgramPaths::reportsFolder(), lastProfile});
        channel = std::make_unique<InstanceChannel>(instance.takeListeningSocket(), paths.handOffFile());
        recovery = std::make_unique<RecoveryFile>(main->list(), qEnvironmentVariable("BENCH_FOLDER") + "/recovery.jlt");
        inhibitor = std::make_unique<SleepInhibitor>();
        notifier = std::make_unique<RunNotifier>();
        connectDesktop(*main, *inhibitor, *notifier);
        main->Form_Load();
        window.reset(main);
    } else {
        window = std::make_unique<QWidget>();
        window->resize(663, 560);
    }
    window->winId(); // the native window, so its expose can be watched
    window->windowHandle()->installEventFilter(&watch);
    window->show();
    return app.exec();
}

struct Start {
    double ms = -1;
    double megabytes = 0;
};

Start startOnce(const QString &program, const QString &mode, const QTemporaryDir &dir)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains("DISPLAY"))
        env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("BENCH_FOLDER", dir.path());
    env.insert("BENCH_LOCK", dir.filePath("bench.lock"));
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(program, {mode});
    if (!p.waitForReadyRead(30000))
        return {};
    const double ms = double(t.nsecsElapsed()) / 1e6;
    const QByteArray said = p.readAllStandardOutput().trimmed();
    p.waitForFinished();
    QFile::remove(dir.filePath("JobletRunning"));
    if (!said.startsWith("shown "))
        return {};
    return {ms, said.mid(6).toDouble() / 1024};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1)
        return child(argc, argv, QByteArray(argv[1]) == "joblet");
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> joblet, bare, jobletMb, bareMb;
    startOnce(self, "bare", dir); // warm the caches for both
    startOnce(self, "joblet", dir);
    for (int i = 0; i < 6; ++i) {
        const Start b = startOnce(self, "bare", dir), j = startOnce(self, "joblet", dir);
        if (b.ms < 0 || j.ms < 0) {
            std::fprintf(stderr, "a child did not show its window\n");
            return 1;
        }
        bare.push_back(b.ms);
        joblet.push_back(j.ms);
        bareMb.push_back(b.megabytes);
        jobletMb.push_back(j.megabytes);
    }
    const char *where = qEnvironmentVariableIsSet("DISPLAY") ? "X server" : "offscreen";
    std::printf("startup_to_shown_ms median of 6 (%s): joblet %.1f  bare Qt window %.1f  ratio %.2f (target <= 1.5)\n",
                where, median(joblet), median(bare), median(joblet) / median(bare));
    std::printf("startup_peak_rss_mb median of 6: joblet %.1f  bare Qt window %.1f  ratio %.2f (target <= 2)\n",
                median(jobletMb), median(bareMb), median(jobletMb) / median(bareMb));
    return 0;
}
