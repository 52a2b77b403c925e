// The program as a user starts it, a copy in a folder of its own (its marker
// and hand-off file beside it) with its own runtime and data folders.
#include "app/StartupRecovery.h"
#include "batch/RecoveryFile.h"

#include "FileHelpers.h"
#include "MediaFixtures.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace joblet;
using namespace joblet::test;

namespace {

struct Installed {
    QTemporaryDir dir;
    QString program = dir.filePath("joblet");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    Installed()
    {
        QFile::copy(JOBLET_PROGRAM, program);
        QDir(dir.path()).mkdir("runtime");
        QFile::setPermissions(dir.filePath("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                           | QFileDevice::ExeOwner);
        env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    void start(QProcess &p, const QStringList &args)
    {
        p.setProcessEnvironment(env);
        p.start(program, args);
    }
};

} // namespace

class Tst_Program : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_short, m_long;

private Q_SLOTS:
    void initTestCase()
    {
        MediaFixtures media(m_dir.path());
        m_short = media.audioVideoClip("short.avi", 0.5);
        // Long enough to be still encoding when a signal comes.
        m_long = media.audioVideoClip("long.avi", 60.0, {640, 480});
        QVERIFY2(!m_short.isEmpty() && !m_long.isEmpty(), qPrintable(media.lastError()));
    }

    // "<RUN>" encodes the file unattended and the program keeps running; a
    // second start hands its file over and ends at once, the marker as it was.
    // (Copies in other folders and the raise are the start-up test's rows.)
    void unattendedRunAndHandOver()
    {
        Installed app;
        QProcess first;
        app.start(first, {m_short, "<RUN>"});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir.filePath("short.wmv")), 20000); // moved into place when done
        const QByteArray mark = readAll(app.dir.filePath("JobletRunning"));
        QVERIFY(!mark.isEmpty());

        QProcess second; // a file it has already, so nothing more to encode
        app.start(second, {m_short});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(readAll(app.dir.filePath("JobletRunning")), mark);
        // The running instance takes the file at one of its next ticks.
        const QString handOff = app.dir.filePath("tonvel.lst");
        QVERIFY(QFile::exists(handOff));
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(handOff), 20000);
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        first.waitForFinished();
    }

    void programEndsMidRun_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("killed") << int(SIGKILL);
        QTest::newRow("terminated") << int(SIGTERM); // SIGHUP: the same handler
    }
    // Killed, the program leaves the list with the Results so far; ended by
    // logout or shutdown, it stops as Exit does (no half-written output, no
    // marker) and leaves the list too. The next start offers it back.
    void programEndsMidRun()
    {
        QFETCH(int, signalNumber);
        Installed app;
        const QString out = app.dir.filePath("out");
        QVERIFY(QDir(app.dir.path()).mkdir("out"));
        const QString list = app.dir.filePath("night.jlt");
        const QString profile = ";Qimto Clipwright 320X240;\r\n";
        QVERIFY(writeFile(list, QFile::encodeName(m_short + ";" + out + "/short.wmv" + profile + m_long + ";" + out
                                                  + "/long.wmv" + profile)));
        QProcess joblet;
        app.start(joblet, {list, "<RUN>"});
        QVERIFY(joblet.waitForStarted());

        const QString recovery = app.dir.filePath("data/joblet/recovery.jlt");
        QTRY_VERIFY_WITH_TIMEOUT(readAll(recovery).contains(";Done\r\n"), 60000);
        QCOMPARE(joblet.state(), QProcess::Running);
        ::kill(pid_t(joblet.processId()), signalNumber);
        QVERIFY(joblet.waitForFinished(30000));
        if (signalNumber != SIGKILL) {
            QCOMPARE(joblet.exitStatus(), QProcess::NormalExit);
            QCOMPARE(joblet.exitCode(), 0);
            QVERIFY(!QFile::exists(app.dir.filePath("JobletRunning")));
            QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"short.wmv"});
        }

        // Where the next start looks, with the rows it offers (tst_startup's).
        qputenv("XDG_DATA_HOME", QFile::encodeName(app.dir.filePath("data")));
        QCOMPARE(recoveryFilePath(), recovery);
        const QList<BatchItem> rows = RecoveryFile::read(recovery).value_or(QList<BatchItem>());
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.first().inputFile, m_short);
        QCOMPARE(rows.first().result, QStringLiteral("Done"));
        QVERIFY(rows.last().result != QLatin1String("Done"));
    }

};

QTEST_MAIN(Tst_Program)
#include "tst_program.moc"
