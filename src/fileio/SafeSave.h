#pragma once

#include <QByteArray>
#include <QString>

namespace joblet::fileio {

// Replaces the file at `path` with `data` in one step: written to a
// temporary file beside it, flushed and checked, then renamed over it, so a
// full disk, a lost folder or a kill leaves the earlier file whole. False
// with *error (the system's reason) when the file was not replaced.
bool safeSave(const QString &path, const QByteArrayView data, QString *error = nullptr);

// Whether `entry` (a name in the folder of `fileName`) is a temporary file
// safeSave() leaves behind when killed while saving `fileName`.
bool isSafeSaveLeftover(const QString &entry, const QString &fileName);

// Removes what killed saves of `path` left beside it: regular files only,
// never links. Only for a caller that knows no save of `path` is under way
// (one that holds the writers' lock).
void removeSafeSaveLeftovers(const QString &path);

} // namespace joblet::fileio
