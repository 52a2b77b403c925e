#include "HandOffWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace joblet::HandOff {

namespace {

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

bool appendLine(const QString &handOffFile, const QString &path, QString *error)
{
    if (path.contains(u'\r') || path.contains(u'\n'))
        return fail(error, QStringLiteral("the path holds a line end"));
    if (path.startsWith(u' ') || path.endsWith(u' '))
        return fail(error, QStringLiteral("the path begins or ends with a blank"));
    if (path.size() < 3)
        return fail(error, QStringLiteral("the path is shorter than three characters"));
    const QByteArray bytes = path.toLocal8Bit();
    if (QString::fromLocal8Bit(bytes) != path)
        return fail(error, QStringLiteral("the path cannot be written in the locale's encoding"));
    const QByteArray line = bytes + "\r\n";

    QDir().mkpath(QFileInfo(handOffFile).path());
    const QByteArray name = QFile::encodeName(handOffFile);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(error, QString::fromLocal8Bit(std::strerror(errno)));
    ssize_t written;
    do {
        written = ::write(fd, line.constData(), size_t(line.size()));
    } while (written < 0 && errno == EINTR);
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (written != ssize_t(line.size()))
        return fail(error, written < 0 ? QString::fromLocal8Bit(std::strerror(writeErrno))
                                       : QStringLiteral("the line was written only in part"));
    if (!closed)
        return fail(error, QStringLiteral("the file could not be closed"));
    return true;
}

} // namespace joblet::HandOff
