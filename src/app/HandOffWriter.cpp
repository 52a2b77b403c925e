#include "HandOffWriter.h"
#include "fileio/Text.h"

#include "HandOffReader.h"
#include "ProgramPaths.h"

#include "fileio/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace joblet::HandOff {

namespace {

// The translation context of the texts below.
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(joblet::HandOff)
};

} // namespace

bool appendLine(const QString &handOffFile, const QString &path, QString *error)
{
    if (path.contains(u'\r') || path.contains(u'\n'))
        return failWith(error, Texts::tr("the path holds a line end"));
    if (path.startsWith(u' ') || path.endsWith(u' '))
        return failWith(error, Texts::tr("the path begins or ends with a blank"));
    if (path.size() < 3)
        return failWith(error, Texts::tr("the path is shorter than three characters"));
    const QByteArray bytes = path.toLocal8Bit();
    if (QString::fromLocal8Bit(bytes) != path)
        return failWith(error, Texts::tr("the path cannot be written in the locale's encoding"));
    const QByteArray line = bytes + "\r\n";

    ProgramPaths::makePrivateFolder(QFileInfo(handOffFile).path());
    // The reader takes only such a file: saying "handed over" for any other
    // would lose the job, or feed someone else's file.
    RegularFile file = RegularFile::open(handOffFile, RegularFile::Mode::Append,
                                         {.ownedByUser = true, .unsharedOnly = true,
                                          .maxSize = MaxFileBytes, .createPrivate = true});
    if (!file.isOpen())
        return failWith(error, Texts::tr("the hand-off file ") + file.error());
    const int fd = file.handle();
    ssize_t written;
    do {
        written = ::write(fd, line.constData(), size_t(line.size()));
    } while (written < 0 && errno == EINTR);
    if (written != ssize_t(line.size()))
        return failWith(error, written < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                       : Texts::tr("the line was written only in part"));
    return true;
}

} // namespace joblet::HandOff
