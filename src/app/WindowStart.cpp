#include "WindowStart.h"

#include "CommandLine.h"

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

} // namespace joblet
