#pragma once

#include <QString>
#include <QStringList>

namespace joblet::batchcli {

// Exit codes of joblet-batch.
enum ExitCode : int {
    AllDone = 0,
    SomeFailed = 1, // a row is not "Done", or Results could not be written
    BadUsage = 2,   // bad arguments, or a list that cannot be read
};

// Runs joblet-batch with `args` (without the program name) in the running
// QCoreApplication; profiles come from `programFolder` as for the desktop
// program. Returns the exit code.
int runCommand(const QStringList &args, const QString &programFolder);

} // namespace joblet::batchcli
