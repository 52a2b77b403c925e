#include "PathCheck.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace joblet {

PathCheck PathCheck::examine(const QString &path)
{
    PathCheck check;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        check.state = S_ISREG(st.st_mode) ? State::File : State::NotAFile;
        return check;
    }
    const int error = errno;
    // Both say only that nothing is there.
    if (error == ENOENT || error == ENOTDIR)
        return check;
    check.state = State::Rejected;
    check.why = QString::fromLocal8Bit(std::strerror(error));
    switch (error) {
    case EACCES:
    case EPERM:
        check.number = PermissionDenied;
        break;
    case ENAMETOOLONG:
    case ELOOP:
        check.number = BadFileName;
        break;
    default:
        check.number = AccessError;
        break;
    }
    return check;
}

} // namespace joblet
