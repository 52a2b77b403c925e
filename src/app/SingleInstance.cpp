#include "SingleInstance.h"

#include "ProgramPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace joblet {

namespace {

int bindListening(const QString &path)
{
    if (path.isEmpty())
        return -1;
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof(address.sun_path))
        return -1;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // The lock is ours, so a socket left at the name is a dead instance's.
    ::unlink(name.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0
        || ::chmod(name.constData(), 0600) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

SingleInstance::SingleInstance(QString lockFile, QString socketFile)
    : m_path(std::move(lockFile))
    , m_socketPath(std::move(socketFile))
    , m_lock(m_path)
{
    // An instance may run for days: only a dead owner makes the lock stale.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (m_listening >= 0)
        ::close(m_listening);
    if (m_held && !m_socketPath.isEmpty())
        ::unlink(QFile::encodeName(m_socketPath).constData());
}

QString SingleInstance::defaultLockFile()
{
    return ProgramPaths::defaultUserDataFolder() + QStringLiteral("/joblet.lock");
}

QString SingleInstance::defaultSocketFile()
{
    // Qt gives a runtime folder only when it is the user's and private.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/joblet.socket");
}

bool SingleInstance::tryTake()
{
    if (!m_asked) {
        m_asked = true;
        ProgramPaths::makePrivateFolder(QFileInfo(m_path).path());
        m_held = m_lock.tryLock(0);
        if (m_held)
            m_listening = bindListening(m_socketPath);
    }
    return m_held;
}

int SingleInstance::takeListeningSocket()
{
    return std::exchange(m_listening, -1);
}

} // namespace joblet
