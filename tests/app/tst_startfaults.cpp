// Start-up faults: no marker left by a start that made none, and a path the
// existence test rejects reported, not taken for a missing file.
#include "app/CommandLine.h"
#include "app/PathCheck.h"
#include "app/RunningMarker.h"
#include "app/WindowStart.h"
#include "ui/FrmJobletIn.h"

#include "FakeUiServices.h"
#include "TestContext.h"
#include "FileHelpers.h"
#include "Unprivileged.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace joblet;
using namespace joblet::test;

class Tst_StartFaults : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void rejectedPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("unprivileged");
        QTest::newRow("loop of links") << "loop/a" << int(PathCheck::BadFileName) << false;
        QTest::newRow("name too long") << QString(300, u'n') << int(PathCheck::BadFileName) << false;
        QTest::newRow("folder not searchable") << "closed/talk.avi" << int(PathCheck::PermissionDenied) << true;
    }
    void rejectedPath()
    {
        QFETCH(QString, path);
        QFETCH(int, number);
        QFETCH(bool, unprivileged);
        QDir(m_dir.path()).mkpath("loop");
        QFile::link(m_dir.filePath("loop/b"), m_dir.filePath("loop/a"));
        QFile::link(m_dir.filePath("loop/a"), m_dir.filePath("loop/b"));
        QDir(m_dir.path()).mkpath("closed");
        writeFile(m_dir.filePath("closed/talk.avi"), "media");
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                | QFileDevice::ExeOwner | QFileDevice::ExeOther);
        QFile::setPermissions(m_dir.filePath("closed"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        const QString full = m_dir.filePath(path);
        auto check = [&] {
            const CommandLine line = CommandLine::parse({"joblet", full, "<RUN>"});
            if (line.kind() != CommandLine::Kind::Rejected || line.errorNumber() != number)
                return false;
            FakeUiServices dialogs;
            return reportRejectedPath(line, dialogs, nullptr) && dialogs.messages.size() == 1
                && dialogs.messages.first().text == QLatin1String("Error Executing Application")
                && dialogs.messages.first().title == UiServices::errorTitle(number)
                && dialogs.messages.first().icon == UiServices::Icon::Critical;
        };
        QVERIFY(unprivileged ? holdsWithoutPrivilege(check) : check());
        // A path that merely names nothing stays silent.
        FakeUiServices dialogs;
        QVERIFY(!reportRejectedPath(CommandLine::parse({"joblet", m_dir.filePath("missing.avi")}), dialogs,
                                    nullptr));
    }

    // Reported while the window loads, before it is shown.
    void rejectedPathDuringLoad()
    {
        QDir(m_dir.path()).mkpath("loop");
        QFile::link(m_dir.filePath("loop/b"), m_dir.filePath("loop/a"));
        QFile::link(m_dir.filePath("loop/a"), m_dir.filePath("loop/b"));
        TestContext tc;
        FrmJobletIn window(tc.context());
        loadWindow(window, CommandLine::parse({"joblet", m_dir.filePath("loop/a")}), tc.ui);
        QCOMPARE(tc.ui.texts(), QStringList{"Error Executing Application"});
        QVERIFY(!window.isVisible());
    }

    // The marker of a start goes with it when that start made it; one left
    // by a crashed instance is not this start's to delete.
    void markerOnlyWhileTheStartLives()
    {
        const QString path = m_dir.filePath("state/JobletRunning"); // its folder made too
        {
            const RunningMarker marker(path, QDateTime::currentDateTime());
            QVERIFY(marker.madeHere());
            QVERIFY(readAll(path).endsWith("\"\r\n"));
        }
        QVERIFY(!QFile::exists(path));
        QVERIFY(writeFile(path, "crashed"));
        { const RunningMarker marker(path, QDateTime::currentDateTime()); }
        QCOMPARE(readAll(path), QByteArray("crashed"));
        QFile::remove(path);
    }
};

QTEST_MAIN(Tst_StartFaults)
#include "tst_startfaults.moc"
