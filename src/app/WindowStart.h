#pragma once

class QWidget;

namespace joblet {

class CommandLine;
class FrmJobletIn;
class UiServices;

// A path on the command line that the existence test rejected: the start-up
// failure message, "Error Executing Application" under "Error-<number>".
// False, and nothing shown, for any other command line.
bool reportRejectedPath(const CommandLine &line, UiServices &dialogs, QWidget *window);

// The window's load: start-up, then what the command line asks for, a
// rejected path reported before the window is first shown. The caller
// shows it afterwards (a job or list to run shows it itself).
void loadWindow(FrmJobletIn &window, const CommandLine &line, UiServices &dialogs);

} // namespace joblet
