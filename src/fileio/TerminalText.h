#pragma once

#include <QString>

namespace joblet {

// A text from a file or a path as it may be shown on a terminal or in a log:
// control characters (C0, DEL, C1) become "\xHH" (or "\u{HHHH}"), so that a
// planted name cannot move the cursor, retitle the window or hide a line.
QString escapeControls(const QString &text);

} // namespace joblet
