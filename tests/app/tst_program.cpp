// The program as a user starts it: a copy in a folder of its own (its marker
// and hand-off file live beside it), a runtime folder of its own for the
// instance's socket, a data folder of its own for the lock, the offscreen
// platform.
#include "MediaFixtures.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Installed {
    QTemporaryDir dir;
    QString program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    Installed()
    {
        program = dir.filePath("joblet");
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

private Q_SLOTS:
    // "<RUN>" encodes the file unattended and the program keeps running; a
    // second start hands its file over and ends at once, the marker as it was.
    // (Copies in other folders and the raise are the start-up test's rows.)
    void unattendedRunAndHandOver()
    {
        Installed app;
        joblet::test::MediaFixtures media(app.dir.path());
        const QString clip = media.audioVideoClip("talk.avi", 1.0);
        const QString other = media.audioVideoClip("other.avi", 1.0);
        QVERIFY2(!clip.isEmpty() && !other.isEmpty(), qPrintable(media.lastError()));

        QProcess first;
        app.start(first, {clip, "<RUN>"});
        QVERIFY(first.waitForStarted());
        const QString output = app.dir.filePath("talk.wmv");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(output), 20000); // moved into place only when done
        QCOMPARE(first.state(), QProcess::Running);

        QFile marker(app.dir.filePath("JobletRunning"));
        QVERIFY(marker.open(QIODevice::ReadOnly));
        const QByteArray mark = marker.readAll();
        QVERIFY(mark.startsWith('"') && mark.endsWith("\"\r\n"));

        QProcess second;
        app.start(second, {other});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(second.readAllStandardError().contains("other.avi"));
        marker.seek(0);
        QCOMPARE(marker.readAll(), mark);
        // The running instance takes the file at one of its next ticks.
        const QString handOff = app.dir.filePath("tonvel.lst");
        QVERIFY(QFile::exists(handOff));
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(handOff), 20000);
        QCOMPARE(first.state(), QProcess::Running);

        first.kill();
        first.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(Tst_Program)
#include "tst_program.moc"
