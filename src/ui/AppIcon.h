#pragma once

#include <QIcon>

namespace joblet {

// The program's one icon: the installed SVG from the icon theme, or the same
// file built into the program when it is not installed.
QIcon appIcon();

} // namespace joblet
