#include "encoding/ProfileCatalogue.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Joblet"));
    QTextStream out(stdout);
    QStringList warnings;
    for (const joblet::EncoderProfile &p : joblet::ProfileCatalogue::installed(&warnings))
        out << p.Name() << '\n';
    return 0;
}
