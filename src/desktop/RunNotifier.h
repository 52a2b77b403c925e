#pragma once

#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

namespace joblet {

// One desktop notification at the end of a run, with the counts of Done and
// failed jobs, when the window is not the active one. Where the notification
// server supports actions, clicking the notification emits activated(), for
// the window to come up. Without a session bus or server, nothing happens.
class RunNotifier : public QObject {
    Q_OBJECT

public:
    explicit RunNotifier(QObject *parent = nullptr);

    void runEnded(int done, int failed, bool windowActive);

    static QString summary();
    static QString body(int done, int failed);
    static QString actionText();

Q_SIGNALS:
    // The user clicked the notification (or its action).
    void activated();
    // The server accepted the notification under `id`; for tests and logs.
    void shown(uint id);

private Q_SLOTS:
    // Connected by name: the bus connects only through slot signatures.
    void onActionInvoked(uint id, const QString &key);
    void onClosed(uint id, uint reason);

private:
    void notify(int done, int failed, bool withAction);

    bool m_listening = false;
    uint m_shownId = 0;
};

} // namespace joblet
