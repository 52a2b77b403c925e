#include "app/CommandLine.h"
#include "app/HandOffPoller.h"
#include "app/HandOffWriter.h"
#include "app/MarkerFile.h"
#include "app/ProgramPaths.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"

#include "Unprivileged.h"

#include "FileHelpers.h"

#include <QtTest>

#include <sys/stat.h>

using namespace joblet;
using namespace joblet::test;
using Kind = CommandLine::Kind;

class Tst_Startup : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_savedCurrent;

    // "@" stands for the temporary folder.
    QString at(QString text) const { return text.replace(u'@', m_dir.path()); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char *name : {"talk.avi", "clip.mpeg", "Song.WMA", "x.avi", "my talk.avi", "week.JLT"})
            QVERIFY(writeFile(m_dir.filePath(QString::fromLatin1(name)), "media"));
        m_savedCurrent = QDir::currentPath();
        QDir::setCurrent(m_dir.path()); // for the relative path row
    }
    void cleanupTestCase() { QDir::setCurrent(m_savedCurrent); }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("run");

        QTest::newRow("path then token") << QStringList{"@/talk.avi", "<RUN>"} << Kind::Job
                                         << "@/talk.avi" << "@/talk.wmv" << true;
        QTest::newRow("path alone") << QStringList{"@/talk.avi"} << Kind::Job << "@/talk.avi"
                                    << "@/talk.wmv" << false;
        QTest::newRow("token glued, WMA") << QStringList{"@/Song.WMA<RUN>"} << Kind::Job
                                          << "@/Song.WMA" << "@/Song.WMA_1.wma" << true;
        QTest::newRow("four-letter extension") << QStringList{"@/clip.mpeg"} << Kind::Job
                                               << "@/clip.mpeg" << "@/clip.mwmv" << false;
        QTest::newRow("token first") << QStringList{"<RUN>", "@/x.avi"} << Kind::NoFile << ""
                                     << "" << true;
        QTest::newRow("token lower case") << QStringList{"@/x.avi", "<run>"} << Kind::NoFile
                                          << "" << "" << false;
        QTest::newRow("missing file") << QStringList{"@/missing.avi"} << Kind::NoFile << "" << ""
                                      << false;
        QTest::newRow("a folder") << QStringList{"@"} << Kind::NoFile << "" << "" << false;
        QTest::newRow("empty") << QStringList{} << Kind::Empty << "" << "" << false;
        QTest::newRow("blank inside path") << QStringList{"@/my", "talk.avi"} << Kind::Job
                                           << "@/my talk.avi" << "@/my talk.wmv" << false;
        QTest::newRow("relative path") << QStringList{"talk.avi", "<RUN>"} << Kind::Job
                                       << "@/talk.avi" << "@/talk.wmv" << true;
        QTest::newRow("list file") << QStringList{"@/week.JLT", "<RUN>"} << Kind::List
                                   << "@/week.JLT" << "" << true;
        QTest::newRow("help") << QStringList{"--help"} << Kind::Help << "" << "" << false;
        QTest::newRow("version") << QStringList{"--version"} << Kind::Version << "" << ""
                                 << false;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Kind, kind);
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(bool, run);
        QStringList args{QStringLiteral("joblet")};
        for (const QString &a : arguments)
            args << at(a);
        const CommandLine line = CommandLine::parse(args);
        QCOMPARE(line.kind(), kind);
        QCOMPARE(line.input(), at(input));
        QCOMPARE(line.output(), at(output));
        QCOMPARE(line.startRun(), run);
    }

    void optionNamingAFileIsAFile()
    {
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("--version")), "media"));
        const CommandLine line = CommandLine::parse({"joblet", "--version"});
        QFile::remove(m_dir.filePath(QStringLiteral("--version")));
        QCOMPARE(line.kind(), Kind::Job);
        QCOMPARE(line.input(), m_dir.filePath(QStringLiteral("--version")));
    }

    void usageSaysWhereTheFilesAre()
    {
        const ProgramPaths paths(m_dir.path());
        const QString usage = CommandLine::usage(paths);
        QVERIFY(usage.contains(m_dir.path() + "/JobletRunning"));
        QVERIFY(usage.contains(m_dir.path() + "/tonvel.lst"));
    }

    void programPaths()
    {
        const ProgramPaths writable(m_dir.path(), QStringLiteral("/elsewhere"));
        QCOMPARE(writable.stateFolder(), m_dir.path());
        QCOMPARE(writable.markerFile(), m_dir.path() + "/JobletRunning");
        QCOMPARE(writable.handOffFile(), m_dir.path() + "/tonvel.lst");
        QCOMPARE(writable.profilesBesideProgram(), m_dir.path() + "/profiles");

        const ProgramPaths gone(m_dir.filePath(QStringLiteral("no-such")), QStringLiteral("/u/data"));
        QCOMPARE(gone.handOffFile(), QStringLiteral("/u/data/tonvel.lst"));

        const QString installed = m_dir.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(installed));
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        ::chmod(QFile::encodeName(installed).constData(), 0555);
        QVERIFY(holdsWithoutPrivilege([&] {
            const ProgramPaths paths(installed, QStringLiteral("/u/data"));
            return paths.markerFile() == QLatin1String("/u/data/JobletRunning")
                && paths.profilesBesideProgram() == installed + QLatin1String("/profiles");
        }));
    }

    void markerLine()
    {
        const QDateTime when(QDate(2031, 12, 24), QTime(13, 4, 5));
        const QByteArray line = MarkerFile::line(when, QLocale(QLocale::English, QLocale::UnitedKingdom));
        QVERIFY2(line.startsWith("\"24/12/2031, 13:04:05") && line.endsWith("\"\r\n"), line.constData());
    }

    void markerMadeOnlyWhenAbsent()
    {
        const QString path = m_dir.filePath(QStringLiteral("state/JobletRunning"));
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY(MarkerFile::createIfAbsent(path, now));
        QCOMPARE(readAll(path), MarkerFile::line(now));

        QVERIFY(writeFile(path, "left\nby a crash"));
        QVERIFY(!MarkerFile::createIfAbsent(path, now));
        QCOMPARE(readAll(path), QByteArray("left\nby a crash"));
    }

    void lockTakenRefusedAndReleased()
    {
        const QString lock = m_dir.filePath(QStringLiteral("run/joblet.lock"));
        {
            SingleInstance first(lock);
            QVERIFY(first.tryTake());
            SingleInstance second(lock);
            QVERIFY(!second.tryTake());
        }
        SingleInstance third(lock);
        QVERIFY(third.tryTake());
    }

    void staleLockTakenOver()
    {
        const QString lock = m_dir.filePath(QStringLiteral("crashed.lock"));
        const pid_t child = ::fork();
        if (child == 0) {
            QLockFile held(lock);
            ::_exit(held.tryLock(0) ? 0 : 1); // no unlock: as a crash leaves it
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(QFile::exists(lock));
        SingleInstance next(lock);
        QVERIFY(next.tryTake());
    }

    void handOffWriterRefuses_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("line feed") << "/m/a\n.avi";
        QTest::newRow("carriage return") << "/m/a\r.avi";
        QTest::newRow("trailing blank") << "/m/a.avi ";
        QTest::newRow("too short") << "/m";
    }
    void handOffWriterRefuses()
    {
        QFETCH(QString, path);
        const QString file = m_dir.filePath(QStringLiteral("refused.lst"));
        QString why;
        QVERIFY(!HandOff::appendLine(file, path, &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(!QFile::exists(file));
    }

    void secondInstanceHandsTheFileOver()
    {
        QTemporaryDir programDir;
        const ProgramPaths paths(programDir.path());
        SingleInstance running(m_dir.filePath(QStringLiteral("second.lock")));
        QVERIFY(running.tryTake());
        QVERIFY(writeFile(paths.markerFile(), "first"));
        QVERIFY(writeFile(paths.handOffFile(), "/m/earlier.avi\r\n"));

        SingleInstance second(running.lockFile());
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const StartDecision decision = prepareStart({"joblet", m_dir.filePath("Song.WMA"), "<RUN>"}, paths,
                                                    second, QDateTime::currentDateTime(),
                                                    outStream, errStream);
        QVERIFY(!decision.openWindow);
        QCOMPARE(decision.exitCode, 0);
        QCOMPARE(readAll(paths.handOffFile()),
                 "/m/earlier.avi\r\n" + QFile::encodeName(m_dir.filePath("Song.WMA")) + "\r\n");
        QCOMPARE(readAll(paths.markerFile()), QByteArray("first"));
        QCOMPARE(err.count(u'\n'), 1);
        QVERIFY(err.contains(QLatin1String("<RUN>")));
        QVERIFY(out.isEmpty());

        // And the running instance takes it as a job, not a run.
        HandOffPoller poller(std::chrono::milliseconds(0));
        QStringList added;
        poller.tick(paths.handOffFile(), [] { return QStringList(); },
                    [&](const QString &input, const QString &output) {
                        added << input + u'|' + output;
                        return true;
                    });
        QCOMPARE(added, (QStringList{"/m/earlier.avi|/m/earlier.wmv",
                                     m_dir.filePath("Song.WMA") + "|" + m_dir.filePath("Song.WMA_1.wma")}));
    }

    void firstInstanceOpensTheWindow()
    {
        QTemporaryDir programDir;
        const ProgramPaths paths(programDir.path());
        SingleInstance instance(m_dir.filePath(QStringLiteral("first.lock")));
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const StartDecision decision = prepareStart({"joblet", m_dir.filePath("talk.avi")}, paths,
                                                    instance, QDateTime::currentDateTime(),
                                                    outStream, errStream);
        QVERIFY(decision.openWindow);
        QCOMPARE(decision.commandLine.kind(), Kind::Job);
        QVERIFY(instance.held());
        QVERIFY(!QFile::exists(paths.markerFile())); // made once the toolkit is up
        QVERIFY(!QFile::exists(paths.handOffFile()));
        QVERIFY(out.isEmpty() && err.isEmpty());
    }

    void helpNeedsNoLock()
    {
        const ProgramPaths paths(m_dir.path());
        SingleInstance running(m_dir.filePath(QStringLiteral("help.lock")));
        QVERIFY(running.tryTake());
        SingleInstance second(running.lockFile());
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const StartDecision decision = prepareStart({"joblet", "--help"}, paths, second,
                                                    QDateTime::currentDateTime(), outStream, errStream);
        QVERIFY(!decision.openWindow);
        QVERIFY(out.startsWith(QLatin1String("Usage: joblet")));
        QVERIFY(!second.held());
    }
};

QTEST_GUILESS_MAIN(Tst_Startup)
#include "tst_startup.moc"
