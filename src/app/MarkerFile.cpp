#include "MarkerFile.h"

#include "ProgramPaths.h"

#include <QFile>
#include <QFileInfo>

namespace joblet::MarkerFile {

QByteArray line(const QDateTime &now, const QLocale &locale)
{
    const QString text = u'"' + locale.toString(now.date(), QLocale::ShortFormat)
        + QStringLiteral(", ") + locale.toString(now.time(), QLocale::LongFormat) + u'"';
    return text.toLocal8Bit() + "\r\n";
}

bool createIfAbsent(const QString &path, const QDateTime &now)
{
    ProgramPaths::makePrivateFolder(QFileInfo(path).path());
    QFile file(path);
    // NewOnly: the test for absence and the creation are one step.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const QByteArray data = line(now);
    if (file.write(data) != data.size() || !file.flush()) {
        file.remove(); // a torn marker would outlive us with nobody to fix it
        return false;
    }
    return true;
}

} // namespace joblet::MarkerFile
