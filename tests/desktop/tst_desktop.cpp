// The sleep inhibitor and the run notice against the logind and notification
// daemon mocks of python3-dbusmock, on a private bus this test starts: it
// stands in for both the system and the session bus.
#include "desktop/RunNotifier.h"
#include "desktop/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QProcess>
#include <QtTest>

using namespace joblet;

namespace {

const QString Logind = QStringLiteral("org.freedesktop.login1");
const QString Notifications = QStringLiteral("org.freedesktop.Notifications");

} // namespace

class Tst_Desktop : public QObject {
    Q_OBJECT

    QProcess m_bus;
    QProcess m_logind;
    QProcess m_notifications;

    void startMock(QProcess &mock, const QString &service, const QStringList &args)
    {
        QDBusServiceWatcher watcher(service, QDBusConnection::sessionBus(),
                                    QDBusServiceWatcher::WatchForRegistration);
        QSignalSpy registered(&watcher, &QDBusServiceWatcher::serviceRegistered);
        mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        mock.start(QStringLiteral(JOBLET_PYTHON3), QStringList{"-m", "dbusmock"} + args);
        QVERIFY2(mock.waitForStarted(), "python3 missing");
        QVERIFY2(registered.wait(20000), "python3-dbusmock missing or not starting");
    }

    static QDBusMessage call(const QString &service, const QString &path, const QString &interface,
                             const QString &method, const QVariantList &args = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(args);
        return QDBusConnection::sessionBus().call(message);
    }
    // A method of the notification daemon mock's own interface.
    static QDBusMessage server(const QString &method, const QVariantList &args)
    {
        return call(Notifications, "/org/freedesktop/Notifications", "org.freedesktop.DBus.Mock", method, args);
    }

    int inhibitorCount()
    {
        const QVariantList args = call(Logind, QStringLiteral("/org/freedesktop/login1"),
                                       QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors"))
                                      .arguments();
        if (args.isEmpty())
            return -1;
        const QDBusArgument list = args.first().value<QDBusArgument>();
        int n = 0;
        list.beginArray();
        while (!list.atEnd()) {
            QString what, who, why, mode;
            uint uid, pid;
            list.beginStructure();
            list >> what >> who >> why >> mode >> uid >> pid;
            list.endStructure();
            if (what == "sleep:idle" && who == "Joblet" && mode == "block" && !why.isEmpty())
                ++n;
        }
        list.endArray();
        return n;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        QVERIFY2(m_bus.waitForStarted(), "dbus-daemon missing");
        QVERIFY(m_bus.waitForReadyRead(10000));
        const QByteArray address = m_bus.readLine().trimmed();
        QVERIFY(!address.isEmpty());
        // Before the first use of either bus in this process.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        startMock(m_logind, Logind, {"--system", "--template", "logind"});
        startMock(m_notifications, Notifications,
                  {"--template", "notification_daemon", "--parameters", R"({"capabilities": "body actions"})"});
    }

    void cleanupTestCase()
    {
        for (QProcess *p : {&m_notifications, &m_logind, &m_bus}) {
            p->terminate();
            p->waitForFinished(5000);
        }
    }

    // Taken when held, a new reason replaces the lock without a gap, and
    // released the moment it is let go; nothing when the window lets go of
    // one it never had.
    void inhibitorHeldOnlyWhileAsked()
    {
        SleepInhibitor inhibitor;
        QSignalSpy changed(&inhibitor, &SleepInhibitor::heldChanged);
        inhibitor.setHeld(false);
        inhibitor.setHeld(true, QStringLiteral("Waiting for the timed session to start"));
        QVERIFY(changed.wait());
        QCOMPARE(changed.takeFirst().first().toBool(), true);
        QCOMPARE(inhibitorCount(), 1);

        inhibitor.setHeld(true, QStringLiteral("Encoding the batch list"));
        QTRY_COMPARE(inhibitorCount(), 1);
        QVERIFY(changed.isEmpty()); // still held throughout

        inhibitor.setHeld(false);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.takeFirst().first().toBool(), false);
        QVERIFY(!inhibitor.isHeld());
        QTRY_COMPARE(inhibitorCount(), 0);

        // Let go while the request is still on its way: no lock stays behind.
        inhibitor.setHeld(true, QStringLiteral("Encoding the batch list"));
        inhibitor.setHeld(false);
        QVERIFY(changed.wait());
        QTRY_COMPARE(changed.size(), 2);
        QVERIFY(!inhibitor.isHeld());
        QTRY_COMPARE(inhibitorCount(), 0);
    }

    // One notice per run that ends while the window is not active, with the
    // counts; clicking it asks for the window.
    void notice()
    {
        RunNotifier notifier;
        QSignalSpy shown(&notifier, &RunNotifier::shown);
        QSignalSpy activated(&notifier, &RunNotifier::activated);
        notifier.runEnded(5, 5, true); // the user watches the window
        notifier.runEnded(3, 1, false);
        QVERIFY(shown.wait());
        const uint id = shown.first().first().toUInt();

        const QDBusArgument calls = server("GetMethodCalls", {"Notify"}).arguments().first().value<QDBusArgument>();
        QList<QVariantList> notifies;
        calls.beginArray();
        while (!calls.atEnd()) {
            quint64 when;
            calls.beginStructure();
            calls >> when >> notifies.emplaceBack();
            calls.endStructure();
        }
        calls.endArray();
        QCOMPARE(notifies.size(), 1);
        const QVariantList &args = notifies.first();
        QCOMPARE(args.at(3).toString(), RunNotifier::summary());
        QCOMPARE(args.at(4).toString(), QStringLiteral("3 jobs Done, 1 failed."));
        QVERIFY(!qdbus_cast<QStringList>(args.at(5)).isEmpty());

        const QDBusMessage click = server(
            "EmitSignal", {Notifications, "ActionInvoked", "us", QVariantList{id, QStringLiteral("default")}});
        QVERIFY2(click.type() != QDBusMessage::ErrorMessage, qPrintable(click.errorMessage()));
        // Reaches us after the click, which is then delivered too.
        notifier.runEnded(1, 0, false);
        QVERIFY(shown.wait());
        QCOMPARE(activated.size(), 1);
    }
};

QTEST_GUILESS_MAIN(Tst_Desktop)
#include "tst_desktop.moc"
