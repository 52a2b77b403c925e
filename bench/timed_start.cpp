// The timed session with the window's real one-second timers: how much of a
// core the armed, idle window takes, and how late the run starts after its
// moment (one second before the chosen minute) over several firings. The
// clock is the system's, shifted so that each firing comes a few seconds
// after arming; the jobs run on the fake engine, so only the timing counts.
//   timed_start [idle-seconds=60] [firings=20]
#include "BenchSupport.h"
#include "TestContext.h"

#include "batch/BatchList.h"
#include "encoding/ProfileCatalogue.h"
#include "session/SessionRunner.h"
#include "ui/FrmJobletIn.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace joblet;

namespace {

class OffsetClock : public Clock {
public:
    qint64 offsetMs = 0;
    QDateTime now() const override { return QDateTime::currentDateTime().addMSecs(offsetMs); }
};

struct Bench {
    TestContext tc;
    OffsetClock clock;
    FrmJobletIn window {AppContext {tc.engines, clock, tc.ui, tc.programFolder.filePath("JobletRunning"),
                                    tc.programFolder.filePath("reports"),
                                    LastProfile(tc.programFolder.filePath("last-profile"))}};

    Bench()
    {
        window.Form_Load();
        window.list().append(BatchItem {"/in/a.avi", "/out/a.wmv", DefaultProfileName, {}, {}});
    }
    void arm(QTime start)
    {
        window.findChild<QComboBox *>("lstHour")->setCurrentText(QString::number(start.hour()));
        window.findChild<QComboBox *>("lstMinute")->setCurrentText(QString::number(start.minute()));
        tc.ui.answers << QMessageBox::Yes;
        window.Command1_Click();
    }
};

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int firings = argc > 2 ? std::atoi(argv[2]) : 20;
    Bench b;

    // Armed for an hour ahead: only the two timers tick.
    const QDateTime now = QDateTime::currentDateTime();
    b.arm(now.time().addSecs(3600));
    if (!b.window.TimedSession()) {
        std::fprintf(stderr, "not armed\n");
        return 1;
    }
    const double cpu0 = bench::threadCpu();
    QElapsedTimer idle;
    idle.start();
    spin(idleSeconds * 1000);
    const double cpu = bench::threadCpu() - cpu0;
    const double share = 100.0 * cpu / (double(idle.elapsed()) / 1000.0);
    std::printf("armed_idle_seconds %d main_thread_cpu_ms %.2f share_of_core_percent %.4f (target < 0.1)\n",
                idleSeconds, cpu * 1000, share);
    b.tc.ui.answers << QMessageBox::Yes;
    b.window.Command1_Click(); // cancel

    // Each firing: shift the clock so the next whole minute is 2.5 s away
    // (plus a varying part of a second), arm for it, and note when the run
    // starts against the moment it should (one second before that minute).
    std::vector<double> late;
    for (int i = 0; i < firings; ++i) {
        const QDateTime real = QDateTime::currentDateTime();
        QDateTime minute = real.addSecs(60);
        minute.setTime(QTime(minute.time().hour(), minute.time().minute()));
        const qint64 skew = 2500 + (i * 137) % 1000;
        b.clock.offsetMs = real.msecsTo(minute) - skew;
        const QDateTime moment = minute.addSecs(-1);
        b.arm(minute.time());
        QDateTime started;
        QEventLoop loop;
        const auto c1 = QObject::connect(&b.window.runner(), &SessionRunner::jobStarted, &loop,
                                         [&] { started = b.clock.now(); });
        const auto c2 = QObject::connect(&b.window.runner(), &SessionRunner::runEnded, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(c1);
        QObject::disconnect(c2);
        if (!started.isValid()) {
            std::fprintf(stderr, "firing %d: the run never started\n", i);
            return 1;
        }
        late.push_back(double(moment.msecsTo(started)) / 1000.0);
        b.window.list().clearResults();
    }
    std::sort(late.begin(), late.end());
    std::printf("firings %d late_s median %.3f max %.3f min %.3f (target <= 1)\n", firings,
                bench::median(late), late.back(), late.front());
    return 0;
}
