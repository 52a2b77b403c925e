#include "RunNotifier.h"

#include "SessionBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace joblet {

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
const QString DefaultAction = QStringLiteral("default");

QString jobs(int n)
{
    return n == 1 ? RunNotifier::tr("1 job") : RunNotifier::tr("%1 jobs").arg(n);
}

} // namespace

RunNotifier::RunNotifier(QObject *parent) : QObject(parent) {}

QString RunNotifier::summary()
{
    return tr("Batch Run Ended");
}

QString RunNotifier::body(int done, int failed)
{
    return tr("%1 Done, %2 failed.").arg(jobs(done)).arg(failed);
}

QString RunNotifier::actionText()
{
    return tr("Show Joblet");
}

void RunNotifier::runEnded(int done, int failed, bool windowActive)
{
    // No bus is started for a notification nobody would see.
    if (windowActive || !sessionBusRunning())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // Actions only where the server says it has them; asked each time, as
    // the server may have changed since the last run.
    auto *caps = new QDBusPendingCallWatcher(
        bus.asyncCall(QDBusMessage::createMethodCall(Service, Path, Interface,
                                                     QStringLiteral("GetCapabilities"))),
        this);
    connect(caps, &QDBusPendingCallWatcher::finished, this,
            [this, done, failed](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QStringList> reply = *w;
                if (reply.isError())
                    return; // no notification server
                notify(done, failed, reply.value().contains(QStringLiteral("actions")));
            });
}

void RunNotifier::notify(int done, int failed, bool withAction)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (withAction && !m_listening) {
        bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                    SLOT(onActionInvoked(uint, QString)));
        bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                    SLOT(onClosed(uint, uint)));
        m_listening = true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    QStringList actions;
    if (withAction)
        actions << DefaultAction << actionText();
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("joblet")}};
    // Replaces the previous run's notification if it is still up.
    call << QStringLiteral("Joblet") << m_shownId << QStringLiteral("joblet") << summary()
         << body(done, failed) << actions << hints << qint32(-1);
    auto *sent = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(sent, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            return;
        m_shownId = reply.value();
        Q_EMIT shown(m_shownId);
    });
}

void RunNotifier::onActionInvoked(uint id, const QString &key)
{
    if (id == m_shownId && m_shownId != 0 && (key == DefaultAction || key.isEmpty()))
        Q_EMIT activated();
}

void RunNotifier::onClosed(uint id, uint)
{
    if (id == m_shownId)
        m_shownId = 0;
}

} // namespace joblet
