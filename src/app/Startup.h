#pragma once

#include "CommandLine.h"

#include <QDateTime>
#include <QStringList>

class QTextStream;

namespace joblet {

class ProgramPaths;
class SingleInstance;

// What main() does with the process before any window exists.
struct StartDecision {
    bool openWindow = false; // false: end now with exitCode
    int exitCode = 0;
    CommandLine commandLine; // for Form_Load when openWindow
    QDateTime startedAt;     // for the marker, made once the toolkit is up
};

// --help and --version; then the single-instance test: a second instance
// hands a file of its command line to the running one and ends; the first
// instance goes on to its window (and its marker, see RunningMarker).
// Messages go to `out` and `err`.
StartDecision prepareStart(const QStringList &arguments, const ProgramPaths &paths,
                           SingleInstance &instance, const QDateTime &now,
                           QTextStream &out, QTextStream &err);

} // namespace joblet
