#pragma once

class QWidget;

namespace joblet {

class CommandLine;
class UiServices;

// A path on the command line that the existence test rejected: the start-up
// failure message, "Error Executing Application" under "Error-<number>".
// False, and nothing shown, for any other command line.
bool reportRejectedPath(const CommandLine &line, UiServices &dialogs, QWidget *window);

} // namespace joblet
