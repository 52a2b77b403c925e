#include "BatchCommand.h"
#include "SignalPipe.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    joblet::batchcli::SignalPipe::install();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Joblet"));
    return joblet::batchcli::runCommand(QCoreApplication::arguments().mid(1),
                                        QCoreApplication::applicationDirPath());
}
