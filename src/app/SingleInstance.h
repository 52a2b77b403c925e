#pragma once

#include <QLockFile>
#include <QString>

namespace joblet {

// One instance per user: a lock file in the user's runtime folder, held for
// the life of this object. The lock of an instance that crashed is taken
// over, since the process that made it is gone.
class SingleInstance {
public:
    explicit SingleInstance(QString lockFile = defaultLockFile());
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // The user's runtime folder + "/joblet.lock".
    static QString defaultLockFile();

    // True when this process is now the one instance; asks at most once.
    bool tryTake();
    bool held() const { return m_held; }
    QString lockFile() const { return m_path; }

private:
    QString m_path;
    QLockFile m_lock;
    bool m_asked = false;
    bool m_held = false;
};

} // namespace joblet
