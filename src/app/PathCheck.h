#pragma once

#include <QString>
#include <QtGlobal>

namespace joblet {

// The existence test of a path the user gave: a file, nothing there, or a
// path the test itself could not look at (no permission to search a folder,
// a loop of links, a name too long), which is a failure to report rather
// than a missing file.
struct PathCheck {
    enum class State { File, NotAFile, Rejected };

    // Numbers shown after "Error-" for a rejected path.
    enum Error : qint32 {
        BadFileName = 52,     // a name too long, a loop of links
        PermissionDenied = 70,
        AccessError = 75,     // any other failure of the test
    };

    State state = State::NotAFile;
    qint32 number = 0; // Rejected only
    QString why;       // Rejected only: the system's words

    static PathCheck examine(const QString &path);
};

} // namespace joblet
