#pragma once

class QWidget;

namespace joblet {

class FrmJobletIn;
class RunNotifier;
class SleepInhibitor;

// The machine stays awake while the window's run encodes or its schedule is
// armed; a run's end is announced when the window is not the active one, and
// a click on that notice brings the window up. All of it in this one place.
void connectDesktop(FrmJobletIn &window, SleepInhibitor &inhibitor, RunNotifier &notifier);

// Out of the taskbar and in front, as a user who asked for it expects.
void raiseWindow(QWidget &window);

} // namespace joblet
