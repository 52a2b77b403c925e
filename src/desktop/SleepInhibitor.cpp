#include "SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace joblet {

SleepInhibitor::SleepInhibitor(QObject *parent) : QObject(parent) {}

SleepInhibitor::~SleepInhibitor() = default; // the descriptor closes, the lock goes

void SleepInhibitor::setHeld(bool held, const QString &why)
{
    m_want = held;
    m_wantWhy = why;
    if (!held)
        m_refused = false;
    update();
}

void SleepInhibitor::update()
{
    if (m_pending)
        return; // the reply decides what comes next
    if (!m_want) {
        if (m_lock.isValid()) {
            m_lock = QDBusUnixFileDescriptor();
            Q_EMIT heldChanged(false);
        }
        return;
    }
    if ((m_lock.isValid() && m_heldWhy == m_wantWhy) || (m_refused && m_refusedWhy == m_wantWhy))
        return;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        m_refused = true;
        m_refusedWhy = m_wantWhy;
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("Joblet") << m_wantWhy
         << QStringLiteral("block");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    const QString why = m_wantWhy;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, why](QDBusPendingCallWatcher *w) { onReply(w, why); });
    m_pending = watcher;
}

void SleepInhibitor::onReply(QDBusPendingCallWatcher *call, const QString &why)
{
    call->deleteLater();
    m_pending = nullptr;
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    if (reply.isError() || !reply.value().isValid()) {
        m_refused = true;
        m_refusedWhy = why;
    } else {
        const bool was = m_lock.isValid();
        m_lock = reply.value(); // the old lock, if any, goes only now
        m_heldWhy = why;
        if (!was)
            Q_EMIT heldChanged(true);
    }
    update();
}

} // namespace joblet
