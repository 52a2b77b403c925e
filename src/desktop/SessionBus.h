#pragma once

namespace joblet {

// Whether the user's session bus is there: named in DBUS_SESSION_BUS_ADDRESS
// or listening at $XDG_RUNTIME_DIR/bus.
bool sessionBusRunning();

// Without a session bus, D-Bus starts a bus daemon of its own at the first
// use (the accessibility bridge asks as soon as a widget is named), which
// nearly triples the start and outlives the program. Called before the
// application object, this points D-Bus at no bus instead, so every use
// fails at once.
void refuseBusAutolaunch();

} // namespace joblet
