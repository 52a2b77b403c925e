#include "ProgramPaths.h"

#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"
#include "schedule/Clock.h"
#include "ui/FrmJobletIn.h"
#include "ui/UiServices.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Joblet"));
    const joblet::ProgramPaths paths = joblet::ProgramPaths::forRunningProgram();
    const joblet::EngineFactory engines(
        joblet::ProfileCatalogue::folders(paths.programFolder()));
    joblet::DesktopUiServices dialogs(engines);
    joblet::FrmJobletIn window({engines, joblet::Clock::system(), dialogs, paths.markerFile(),
                                paths.handOffFile(), paths.reportsFolder()});
    window.Form_Load();
    window.show();
    return app.exec();
}
