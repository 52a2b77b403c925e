#include "ProgramPaths.h"
#include "SingleInstance.h"
#include "Startup.h"

#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"
#include "schedule/Clock.h"
#include "ui/FrmJobletIn.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    using namespace joblet;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Joblet"));
    const ProgramPaths paths = ProgramPaths::forRunningProgram();

    // --help, --version and a second instance end here, without a window.
    SingleInstance instance;
    QTextStream out(stdout), err(stderr);
    const StartDecision start =
        prepareStart(QApplication::arguments(), paths, instance, Clock::system().now(), out, err);
    if (!start.openWindow)
        return start.exitCode;

    const EngineFactory engines(ProfileCatalogue::folders(paths.programFolder()));
    DesktopUiServices dialogs(engines);
    FrmJobletIn window({engines, Clock::system(), dialogs, paths.markerFile(), paths.handOffFile(),
                        ProgramPaths::reportsFolder()});
    window.Form_Load();
    window.show();
    return app.exec();
}
