#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QPointer>
#include <QString>

class QDBusPendingCallWatcher;

namespace joblet {

// Keeps the machine from suspending while it is held: a logind inhibitor
// lock ("sleep:idle", mode "block"), which is the file descriptor logind
// hands out; closing it releases the lock. Without a system bus or logind it
// does nothing and says nothing. Calls are asynchronous, so a slow bus never
// holds up the window.
class SleepInhibitor : public QObject {
    Q_OBJECT

public:
    explicit SleepInhibitor(QObject *parent = nullptr);
    ~SleepInhibitor() override;

    // `why` is shown by the desktop to say what Joblet waits for; a new
    // reason while held takes a new lock before the old one goes.
    void setHeld(bool held, const QString &why = QString());
    // Whether a lock is held now (the reply may still be on its way).
    bool isHeld() const { return m_lock.isValid(); }

Q_SIGNALS:
    // A lock was taken or released.
    void heldChanged(bool held);

private:
    void update();
    void onReply(QDBusPendingCallWatcher *call, const QString &why);

    bool m_want = false;
    QString m_wantWhy;
    QString m_heldWhy;
    // The reason logind refused (or is missing for); not asked again for it.
    QString m_refusedWhy;
    bool m_refused = false;
    QDBusUnixFileDescriptor m_lock;
    QPointer<QDBusPendingCallWatcher> m_pending;
};

} // namespace joblet
