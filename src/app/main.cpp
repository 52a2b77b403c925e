#include "DesktopWiring.h"
#include "HandOffIntake.h"
#include "InstanceChannel.h"
#include "ProgramPaths.h"
#include "RunningMarker.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "StartupRecovery.h"
#include "Translations.h"
#include "WindowStart.h"

#include "batch/RecoveryFile.h"
#include "desktop/RunNotifier.h"
#include "desktop/SessionBus.h"
#include "desktop/SleepInhibitor.h"
#include "encoding/EngineFactory.h"
#include "encoding/LastProfile.h"
#include "encoding/ProfileCatalogue.h"
#include "fileio/SignalPipe.h"
#include "schedule/Clock.h"
#include "ui/AppIcon.h"
#include "ui/FrmJobletIn.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <optional>

int main(int argc, char **argv)
{
    using namespace joblet;
    // --help, --version and a second instance end here, before any window
    // or display is needed; the lock lives as long as the program.
    SingleInstance instance;
    StartDecision start;
    std::optional<ProgramPaths> paths;
    {
        QCoreApplication core(argc, argv);
        const Translations coreTexts;
        paths.emplace(ProgramPaths::forRunningProgram());
        QTextStream out(stdout), err(stderr);
        start = prepareStart(QCoreApplication::arguments(), *paths, instance,
                             Clock::system().now(), out, err);
    }
    if (!start.openWindow)
        return start.exitCode;

    refuseBusAutolaunch();
    // Ends the process when there is no display: hence the marker after it.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Joblet"));
    const Translations texts;
    // Every window's icon, the one the menu entry shows.
    QApplication::setWindowIcon(appIcon());
    const RunningMarker marker(paths->markerFile(), start.startedAt);
    SignalPipe::install({SIGTERM, SIGHUP});
    SignalPipe termination;

    const EngineFactory engines(ProfileCatalogue::folders(paths->programFolder()));
    const LastProfile lastProfile;
    DesktopUiServices dialogs(engines, lastProfile);
    FrmJobletIn window({engines, Clock::system(), dialogs, paths->markerFile(),
                        ProgramPaths::reportsFolder(), lastProfile});
    // What other starts hand over comes in at the window's hand-off ticks.
    HandOffIntake handOff(paths->handOffFile(), window.list(), window.control());
    QObject::connect(&window, &FrmJobletIn::handOffDue, &handOff, &HandOffIntake::poll);
    // A later start with no file asks for the window.
    InstanceChannel channel(instance.takeListeningSocket(), paths->handOffFile());
    QObject::connect(&channel, &InstanceChannel::raiseRequested, &window, [&window] { raiseWindow(window); });
    RecoveryFile recovery(window.list(), recoveryFilePath());
    SleepInhibitor inhibitor;
    RunNotifier notifier;
    connectDesktop(window, inhibitor, notifier);
    // Logout and shutdown end the program as Exit does.
    QObject::connect(&termination, &SignalPipe::received, &window, &FrmJobletIn::CmdExit_Click);

    const CommandLine &line = start.commandLine;
    loadWindow(window, line, dialogs);
    window.show();
    // Once the window is painted; an unattended start leaves the rows for the
    // next ordinary one.
    QTimer::singleShot(0, &window, [&] {
        offerRecovery(recovery, window.list(), dialogs, &window, line.startRun());
    });
    const int code = app.exec();
    if (termination.anyReceived())
        recovery.flush();
    else
        recovery.closeNormally();
    return code;
}
