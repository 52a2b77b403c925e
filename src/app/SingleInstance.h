#pragma once

#include <QLockFile>
#include <QString>

namespace joblet {

// One instance per user: a lock file in the user's data folder, held for
// the life of this object, and beside it in time the instance's channel, a
// local socket in the user's runtime folder that a later start talks to
// (InstanceChannel). The lock of an instance that crashed is taken over,
// since the process that made it is gone.
class SingleInstance {
public:
    explicit SingleInstance(QString lockFile = defaultLockFile(), QString socketFile = defaultSocketFile());
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;
    ~SingleInstance();

    // Always the user's data folder + "/joblet.lock": one place whatever
    // the runtime folder's state, so two starts never take two locks.
    static QString defaultLockFile();
    // The runtime folder + "/joblet.socket"; empty when the system offers no
    // runtime folder that is the user's alone.
    static QString defaultSocketFile();

    // True when this process is now the one instance; asks at most once.
    // The channel's socket is bound at the same moment, so that a start
    // that finds the lock taken finds the socket listening too.
    bool tryTake();
    bool held() const { return m_held; }
    QString lockFile() const { return m_path; }
    QString socketFile() const { return m_socketPath; }
    // The bound, listening socket for InstanceChannel; -1 when it could not
    // be made. Handed over once.
    int takeListeningSocket();

private:
    QString m_path;
    QString m_socketPath;
    QLockFile m_lock;
    int m_listening = -1;
    bool m_asked = false;
    bool m_held = false;
};

} // namespace joblet
