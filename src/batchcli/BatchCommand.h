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

struct RunOptions {
    QString list;
    QString results; // empty: into the list itself
    int jobs = 1;
    QString shard;   // "K/N", empty for every row
    bool json = false;
    bool check = false; // refuse to start when the list check finds a problem
};

// Parses `args` (without the program name); false with *error on bad usage.
bool parseRun(const QStringList &args, RunOptions *options, QString *error);

// Runs joblet-batch with `args` (without the program name) in the running
// QCoreApplication; profiles come from `programFolder` as for the desktop
// program. Returns the exit code.
int runCommand(const QStringList &args, const QString &programFolder);

QString usageText();
QString runUsage();
QString mergeUsage();
QString makeUsage();
QString checkUsage();
QString profilesUsage();

} // namespace joblet::batchcli
