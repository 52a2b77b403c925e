#pragma once

#include <QString>

namespace joblet::HandOff {

// Appends `path` as one line (CR LF) to the hand-off file in a single write
// with O_APPEND, creating file and folder as needed, so that it never
// interleaves with another writer's line. Refuses any hand-off file the
// reader would not take (a link, a pipe or other non-regular file, one of
// another user or one that others may write to); a new one is made for the
// user alone. Refuses a path the reader could not give back whole: with a line end in it, blanks at either end, shorter than
// three characters, or not expressible in the locale's 8-bit text.
// On failure *error says why.
bool appendLine(const QString &handOffFile, const QString &path, QString *error = nullptr);

} // namespace joblet::HandOff
