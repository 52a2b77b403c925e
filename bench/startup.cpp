// Start-up to the window shown, as a process: the same steps as the program
// (single instance, marker, engine factory with its profiles, the window's
// load handler) against a bare Qt window of the same build, each started 5
// times under the offscreen platform; the parent times from starting the
// process to the child's word that its window is exposed.
//   startup            runs the comparison
//   startup joblet|bare  (the children)
#include "app/ProgramPaths.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"
#include "schedule/Clock.h"
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
            std::printf("shown\n");
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return false;
    }
};

int child(int argc, char **argv, bool joblet)
{
    QApplication app(argc, argv);
    ExposeWatch watch;
    std::unique_ptr<QWidget> window;
    // Declared here so they outlive the window.
    std::unique_ptr<EngineFactory> engines;
    std::unique_ptr<DesktopUiServices> dialogs;
    SingleInstance instance(qEnvironmentVariable("BENCH_LOCK"));
    if (joblet) {
        const ProgramPaths paths(qEnvironmentVariable("BENCH_FOLDER"));
        QTextStream out(stdout), err(stderr);
        const StartDecision start = prepareStart({"joblet"}, paths, instance, Clock::system().now(), out, err);
        if (!start.openWindow)
            return 1;
        engines = std::make_unique<EngineFactory>(ProfileCatalogue::folders(paths.programFolder()));
        dialogs = std::make_unique<DesktopUiServices>(*engines);
        auto *main = new FrmJobletIn({*engines, Clock::system(), *dialogs, paths.markerFile(),
                                      paths.handOffFile(), ProgramPaths::reportsFolder()});
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

double startOnce(const QString &program, const QString &mode, const QTemporaryDir &dir)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("BENCH_FOLDER", dir.path());
    env.insert("BENCH_LOCK", dir.filePath("bench.lock"));
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(program, {mode});
    if (!p.waitForReadyRead(30000) || !p.readAllStandardOutput().contains("shown"))
        return -1;
    const double ms = double(t.nsecsElapsed()) / 1e6;
    p.waitForFinished();
    QFile::remove(dir.filePath("JobletRunning"));
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1)
        return child(argc, argv, QByteArray(argv[1]) == "joblet");
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> joblet, bare;
    startOnce(self, "bare", dir); // warm the caches for both
    for (int i = 0; i < 5; ++i) {
        bare.push_back(startOnce(self, "bare", dir));
        joblet.push_back(startOnce(self, "joblet", dir));
    }
    if (std::count(joblet.begin(), joblet.end(), -1) || std::count(bare.begin(), bare.end(), -1)) {
        std::fprintf(stderr, "a child did not show its window\n");
        return 1;
    }
    std::sort(joblet.begin(), joblet.end());
    std::sort(bare.begin(), bare.end());
    std::printf("startup_to_shown_ms median: joblet %.1f  bare Qt window %.1f  ratio %.2f (target <= 1.5)\n",
                joblet[2], bare[2], joblet[2] / bare[2]);
    return 0;
}
