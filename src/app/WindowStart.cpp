#include "WindowStart.h"

#include "CommandLine.h"

#include "ui/FrmJobletIn.h"
#include "ui/UiServices.h"

#include <QCoreApplication>
#include <QWidget>

namespace joblet {

namespace {

// The translation context of the texts below.
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(joblet::WindowStart)
};

} // namespace

bool reportRejectedPath(const CommandLine &line, UiServices &dialogs, QWidget *window)
{
    if (line.kind() != CommandLine::Kind::Rejected)
        return false;
    dialogs.failure(window, Texts::tr("Error Executing Application"), line.errorNumber());
    return true;
}

void loadWindow(FrmJobletIn &window, const CommandLine &line, UiServices &dialogs)
{
    window.Form_Load();
    if (line.kind() == CommandLine::Kind::Job)
        window.CommandLine_Job(line.input(), line.output(), line.startRun());
    else if (line.kind() == CommandLine::Kind::List)
        window.CommandLine_List(line.input(), line.startRun());
    else
        reportRejectedPath(line, dialogs, &window);
}

} // namespace joblet
