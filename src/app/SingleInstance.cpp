#include "SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace joblet {

SingleInstance::SingleInstance(QString lockFile)
    : m_path(std::move(lockFile))
    , m_lock(m_path)
{
    // An instance may run for days: only a dead owner makes the lock stale.
    m_lock.setStaleLockTime(0);
}

QString SingleInstance::defaultLockFile()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/joblet");
    return folder + QStringLiteral("/joblet.lock");
}

bool SingleInstance::tryTake()
{
    if (!m_asked) {
        m_asked = true;
        QDir().mkpath(QFileInfo(m_path).path());
        m_held = m_lock.tryLock(0);
    }
    return m_held;
}

} // namespace joblet
