#pragma once

namespace joblet {

class FrmJobletIn;
class RunNotifier;
class SleepInhibitor;

// The machine stays awake while the window's run encodes or its schedule is
// armed; a run's end is announced when the window is not the active one, and
// a click on that notice brings the window up. All of it in this one place.
void connectDesktop(FrmJobletIn &window, SleepInhibitor &inhibitor, RunNotifier &notifier);

} // namespace joblet
