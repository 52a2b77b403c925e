#include "WindowStart.h"

#include "CommandLine.h"

#include "ui/UiServices.h"

#include <QCoreApplication>
#include <QWidget>

namespace joblet {

bool reportRejectedPath(const CommandLine &line, UiServices &dialogs, QWidget *window)
{
    if (line.kind() != CommandLine::Kind::Rejected)
        return false;
    dialogs.failure(window, QCoreApplication::translate("joblet::WindowStart", "Error Executing Application"), line.errorNumber());
    return true;
}

} // namespace joblet
