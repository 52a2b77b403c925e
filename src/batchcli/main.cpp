#include "BatchCommand.h"
#include "fileio/SignalPipe.h"

#include <QCoreApplication>

#include <csignal>

int main(int argc, char **argv)
{
    // Interrupted or ended, a run stops its jobs and exits 128 + the number.
    joblet::SignalPipe::install({SIGINT, SIGTERM});
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Joblet"));
    return joblet::batchcli::runCommand(QCoreApplication::arguments().mid(1),
                                        QCoreApplication::applicationDirPath());
}
