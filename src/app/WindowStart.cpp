#include "WindowStart.h"

#include "CommandLine.h"

#include "ui/UiServices.h"

#include <QAbstractButton>
#include <QWidget>

namespace joblet {

bool reportRejectedPath(const CommandLine &line, UiServices &dialogs, QWidget *window)
{
    if (line.kind() != CommandLine::Kind::Rejected)
        return false;
    dialogs.failure(window, QStringLiteral("Error Executing Application"), line.errorNumber());
    return true;
}

void enableListButtons(QWidget &window)
{
    for (const char *name : {"CmdRemove", "CmdRemoveAll", "CmdClearResults", "CmdSave", "CmdStart"})
        if (auto *button = window.findChild<QAbstractButton *>(QLatin1String(name)))
            button->setEnabled(true);
}

} // namespace joblet
