#include "RegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace joblet {

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

} // namespace

RegularFile RegularFile::open(const QString &path, Mode mode, const Rules &rules)
{
    RegularFile file;
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: opening a pipe must not wait for its other end; it is
    // refused below before anything is read.
    int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (mode == Mode::Read)
        flags |= O_RDONLY;
    else
        flags |= O_WRONLY | O_APPEND | (rules.createPrivate ? O_CREAT : 0);
    int fd;
    do {
        fd = ::open(name.constData(), flags, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        file.m_errno = errno;
        struct stat link {};
        if (errno == ENOENT)
            file.m_status = Status::Missing;
        else if (errno == ELOOP && ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            file.m_status = Status::Link;
        else if (errno == ENXIO || errno == EISDIR)
            file.m_status = Status::NotRegular; // a pipe with no reader, a folder
        else
            file.m_status = Status::Failed;
        return file;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        file.m_errno = errno;
        ::close(fd);
        return file;
    }
    file.m_size = st.st_size;
    file.m_device = st.st_dev;
    file.m_inode = st.st_ino;
    if (!S_ISREG(st.st_mode))
        file.m_status = Status::NotRegular;
    else if (rules.ownedByUser && st.st_uid != ::geteuid())
        file.m_status = Status::NotOwned;
    else if (rules.unsharedOnly && (st.st_mode & (S_IWGRP | S_IWOTH)))
        file.m_status = Status::Shared;
    else if (rules.maxSize >= 0 && st.st_size > rules.maxSize)
        file.m_status = Status::TooLarge;
    else
        file.m_status = Status::Opened;
    if (file.m_status != Status::Opened) {
        file.m_mode = unsigned(st.st_mode);
        ::close(fd);
        return file;
    }
    // Regular files never block; reads and writes are plain from here.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.m_fd = fd;
    return file;
}

RegularFile::RegularFile(RegularFile &&other) noexcept
{
    *this = std::move(other);
}

RegularFile &RegularFile::operator=(RegularFile &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_status = other.m_status;
        m_errno = other.m_errno;
        m_size = other.m_size;
        m_device = other.m_device;
        m_inode = other.m_inode;
        m_mode = other.m_mode;
    }
    return *this;
}

RegularFile::~RegularFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString RegularFile::error() const
{
    switch (m_status) {
    case Status::Opened: return {};
    case Status::Missing: return QStringLiteral("does not exist");
    case Status::Link: return QStringLiteral("is a symbolic link");
    case Status::NotRegular:
        return m_mode == 0 ? QStringLiteral("is not a regular file")
                           : QStringLiteral("is %1").arg(kindOf(mode_t(m_mode)));
    case Status::NotOwned: return QStringLiteral("belongs to another user");
    case Status::Shared: return QStringLiteral("may be written by other users");
    case Status::TooLarge: return QStringLiteral("is too large (%1 bytes)").arg(m_size);
    case Status::Failed: break;
    }
    return QStringLiteral("cannot be opened: ") + QString::fromLocal8Bit(std::strerror(m_errno));
}

std::optional<QByteArray> RegularFile::readAt(qint64 offset, qint64 maxBytes) const
{
    if (m_fd < 0 || offset < 0 || maxBytes < 0)
        return std::nullopt;
    QByteArray data(qsizetype(maxBytes), Qt::Uninitialized);
    qint64 got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::pread(m_fd, data.data() + got, size_t(maxBytes - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        got += n;
    }
    data.truncate(qsizetype(got));
    return data;
}

bool RegularFile::stillAt(const QString &path) const
{
    struct stat st {};
    return m_fd >= 0 && ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode)
        && quint64(st.st_dev) == m_device && quint64(st.st_ino) == m_inode;
}

std::optional<QByteArray> readRegularFile(const QString &path, qint64 maxSize, QString *why)
{
    const RegularFile file = RegularFile::open(path, RegularFile::Mode::Read, {.maxSize = maxSize});
    if (!file.isOpen()) {
        if (why)
            *why = file.error();
        return std::nullopt;
    }
    // One byte more than allowed tells a file that grew since fstat.
    std::optional<QByteArray> data = file.readAt(0, maxSize + 1);
    if (!data) {
        if (why)
            *why = QStringLiteral("cannot be read: ") + QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    if (data->size() > maxSize) {
        if (why)
            *why = QStringLiteral("is too large (over %1 bytes)").arg(maxSize);
        return std::nullopt;
    }
    return data;
}

bool existsButNotRegular(const QString &path, QString *what)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return false;
    if (what)
        *what = kindOf(st.st_mode);
    return true;
}

} // namespace joblet
