#include "DesktopWiring.h"

#include "batch/BatchList.h"
#include "encoding/EncoderEngine.h"
#include "desktop/RunNotifier.h"
#include "desktop/SleepInhibitor.h"
#include "session/SessionRunner.h"
#include "ui/FrmJobletIn.h"

#include <QAbstractButton>

namespace joblet {

void connectDesktop(FrmJobletIn &window, SleepInhibitor &inhibitor, RunNotifier &notifier)
{
    SessionRunner &runner = window.runner();
    // Connected after the window's own handlers, so its state is current here.
    auto stayAwake = [&window, &inhibitor, &runner] {
        if (runner.isRunning())
            inhibitor.setHeld(true, QStringLiteral("Encoding the batch list"));
        else if (window.TimedSession())
            inhibitor.setHeld(true, QStringLiteral("Waiting for the timed session to start"));
        else
            inhibitor.setHeld(false);
    };
    QObject::connect(&runner, &SessionRunner::engineCreated, &inhibitor, stayAwake);
    QObject::connect(&runner, &SessionRunner::runEnded, &inhibitor, stayAwake);
    // The schedule button arms and cancels; nothing else says so yet.
    if (auto *schedule = window.findChild<QAbstractButton *>(QStringLiteral("Command1")))
        QObject::connect(schedule, &QAbstractButton::clicked, &inhibitor, stayAwake);

    QObject::connect(&runner, &SessionRunner::runEnded, &notifier, [&window, &notifier] {
        const BatchList &list = window.list();
        int done = 0, failed = 0;
        for (int row = 1; row <= list.count(); ++row) {
            const QString &result = list.item(row).result;
            if (result == QLatin1String("Done"))
                ++done;
            else if (result.startsWith(QLatin1String("Error:")))
                ++failed;
        }
        notifier.runEnded(done, failed, window.isActiveWindow());
    });
    QObject::connect(&notifier, &RunNotifier::activated, &window, [&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
}

} // namespace joblet
