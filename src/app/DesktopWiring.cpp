#include "DesktopWiring.h"

#include "desktop/RunNotifier.h"
#include "desktop/SleepInhibitor.h"
#include "session/RunControl.h"
#include "ui/FrmJobletIn.h"

#include <QCoreApplication>

namespace joblet {

namespace {

// The translation context of the texts below.
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(joblet::DesktopWiring)
};

} // namespace

void raiseWindow(QWidget &window)
{
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

void connectDesktop(FrmJobletIn &window, SleepInhibitor &inhibitor, RunNotifier &notifier)
{
    RunControl &control = window.control();
    // Armed -> Running keeps the machine awake but changes why.
    auto stayAwake = [&control, &inhibitor] {
        switch (control.state()) {
        case RunControl::State::Running:
            inhibitor.setHeld(true, Texts::tr("Encoding the batch list"));
            break;
        case RunControl::State::Armed:
            inhibitor.setHeld(true, Texts::tr("Waiting for the timed session to start"));
            break;
        case RunControl::State::Idle: inhibitor.setHeld(false); break;
        }
    };
    QObject::connect(&control, &RunControl::keepAwakeChanged, &inhibitor, stayAwake);
    QObject::connect(&control, &RunControl::runStarted, &inhibitor, stayAwake);

    QObject::connect(&control, &RunControl::runEnded, &notifier,
                     [&window, &notifier](const RunControl::RunSummary &summary) {
                         notifier.runEnded(summary.done, summary.failed, window.isActiveWindow());
                     });
    QObject::connect(&notifier, &RunNotifier::activated, &window, [&window] { raiseWindow(window); });
}

} // namespace joblet
