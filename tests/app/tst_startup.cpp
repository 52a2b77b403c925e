#include "app/CommandLine.h"
#include "app/HandOffPoller.h"
#include "app/HandOffWriter.h"
#include "app/InstanceChannel.h"
#include "app/MarkerFile.h"
#include "app/ProgramPaths.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"

#include "Unprivileged.h"

#include "FileHelpers.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

using namespace joblet;
using namespace joblet::test;
using Kind = CommandLine::Kind;

namespace {

// The running instance's channel, answering from a thread of its own while
// the test's thread stands for the second start.
struct Serving : QThread {
    int socket;
    QString handOff;
    std::atomic<int> raises{0};

    Serving(int listening, QString handOffFile)
        : socket(listening)
        , handOff(std::move(handOffFile))
    {
        start();
    }
    ~Serving() override
    {
        quit();
        wait();
    }
    void run() override
    {
        InstanceChannel channel(socket, handOff);
        QObject::connect(&channel, &InstanceChannel::raiseRequested, &channel, [this] { ++raises; });
        exec();
    }
};

// prepareStart with what it writes.
struct Start {
    QString out, err;
    StartDecision decision;

    Start(const QStringList &arguments, const ProgramPaths &paths, SingleInstance &instance)
    {
        QTextStream outStream(&out), errStream(&err);
        decision = prepareStart(arguments, paths, instance, QDateTime::currentDateTime(), outStream, errStream);
    }
};

} // namespace

class Tst_Startup : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_savedCurrent;

    // "@" stands for the temporary folder.
    QString at(QString text) const { return text.replace(u'@', m_dir.path()); }
    QStringList argv(QStringList arguments) const
    {
        for (QString &a : arguments)
            a = at(a);
        return QStringList{"joblet"} + arguments;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char *name : {"talk.avi", "Song.WMA", "x.avi", "my talk.avi", "week.JLT"})
            QVERIFY(writeFile(m_dir.filePath(QString::fromLatin1(name)), "media"));
        m_savedCurrent = QDir::currentPath();
        QDir::setCurrent(m_dir.path()); // for the relative path row
    }
    void cleanupTestCase() { QDir::setCurrent(m_savedCurrent); }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("files"); // input|output
        QTest::addColumn<bool>("run");
        QTest::newRow("path then token") << QStringList{"@/talk.avi", "<RUN>"} << Kind::Job
                                         << "@/talk.avi|@/talk.wmv" << true;
        QTest::newRow("path alone") << QStringList{"@/talk.avi"} << Kind::Job << "@/talk.avi|@/talk.wmv" << false;
        QTest::newRow("token glued, WMA") << QStringList{"@/Song.WMA<RUN>"} << Kind::Job
                                          << "@/Song.WMA|@/Song.WMA_1.wma" << true;
        QTest::newRow("token first") << QStringList{"<RUN>", "@/x.avi"} << Kind::NoFile << "|" << true;
        QTest::newRow("token lower case") << QStringList{"@/x.avi", "<run>"} << Kind::NoFile << "|" << false;
        QTest::newRow("missing file") << QStringList{"@/missing.avi"} << Kind::NoFile << "|" << false;
        QTest::newRow("a folder") << QStringList{"@"} << Kind::NoFile << "|" << false;
        QTest::newRow("empty") << QStringList{} << Kind::Empty << "|" << false;
        QTest::newRow("blank inside path") << QStringList{"@/my", "talk.avi"} << Kind::Job
                                           << "@/my talk.avi|@/my talk.wmv" << false;
        QTest::newRow("relative path, kept") << QStringList{" talk.avi", "<RUN>"} << Kind::Job
                                             << "talk.avi|talk.wmv" << true;
        QTest::newRow("list file") << QStringList{"@/week.JLT", "<RUN>"} << Kind::List << "@/week.JLT|" << true;
        QTest::newRow("help") << QStringList{"--help"} << Kind::Help << "|" << false;
        QTest::newRow("version") << QStringList{"--version"} << Kind::Version << "|" << false;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, files);
        const CommandLine line = CommandLine::parse(argv(arguments));
        QTEST(line.kind(), "kind");
        QCOMPARE(line.input() + '|' + line.output(), at(files));
        QTEST(line.startRun(), "run");
    }

    void optionNamingAFileIsAFile()
    {
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("--version")), "media"));
        const CommandLine line = CommandLine::parse({"joblet", "--version"});
        QFile::remove(m_dir.filePath(QStringLiteral("--version")));
        QCOMPARE(line.kind(), Kind::Job);
        QCOMPARE(line.input(), QStringLiteral("--version"));
    }

    // The marker and hand-off file stay beside the program only in a
    // folder that is the user's alone, whatever its name.
    void programPaths_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("beside");
        QTest::newRow("portable, the user's own") << "portable" << 0700 << true;
        QTest::newRow("group-writable") << "shared" << 0775 << false;
        QTest::newRow("writable by others") << "open" << 0757 << false;
        QTest::newRow("read-only") << "readonly" << 0555 << false;
        QTest::newRow("a bin of the user's own") << ".local/bin" << 0755 << true;
        QTest::newRow("a system install, root's too") << "/usr/bin" << -1 << false;
        QTest::newRow("missing") << "no-such" << -1 << false;
        QTest::newRow("another user's") << "other" << 0755 << false;
    }
    void programPaths()
    {
        QFETCH(QString, folder);
        QFETCH(int, mode);
        QFETCH(bool, beside);
        const QString program = m_dir.filePath(folder);
        if (mode >= 0) {
            QVERIFY(QDir().mkpath(program));
            QCOMPARE(::chmod(QFile::encodeName(program).constData(), mode_t(mode)), 0);
        }
        if (folder == "other" && ::geteuid() == 0)
            QCOMPARE(::chown(QFile::encodeName(program).constData(), 65534, 65534), 0);
        const ProgramPaths paths(folder == "other" && ::geteuid() != 0 ? QStringLiteral("/usr") : program,
                                 QStringLiteral("/u/data"));
        const QString state = beside ? program : QStringLiteral("/u/data");
        QCOMPARE(paths.markerFile(), state + "/JobletRunning");
        QCOMPARE(paths.handOffFile(), state + "/tonvel.lst");
        QCOMPARE(paths.profilesBesideProgram(), paths.programFolder() + "/profiles");
    }

    void markerLine()
    {
        const QDateTime when(QDate(2031, 12, 24), QTime(13, 4, 5));
        const QByteArray line = MarkerFile::line(when, QLocale(QLocale::English, QLocale::UnitedKingdom));
        QVERIFY2(line.startsWith("\"24/12/2031, 13:04:05") && line.endsWith("\"\r\n"), line.constData());
    }

    // Taken once, released with its holder, and taken over from a crashed one.
    void lockTakenOnce()
    {
        const QString lock = m_dir.filePath(QStringLiteral("run/joblet.lock"));
        {
            SingleInstance first(lock, QString());
            QVERIFY(first.tryTake());
            SingleInstance second(lock, QString());
            QVERIFY(!second.tryTake());
        }
        const pid_t child = ::fork();
        if (child == 0) {
            QLockFile held(lock);
            ::_exit(held.tryLock(0) ? 0 : 1); // no unlock: as a crash leaves it
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(QFile::exists(lock));
        SingleInstance next(lock, QString());
        QVERIFY(next.tryTake());
    }

    // One place for a user's lock, whatever the runtime folder is at the
    // moment: a second start never finds a second, free lock.
    void lockInOnePlace()
    {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString withRuntime = SingleInstance::defaultLockFile();
        qputenv("XDG_RUNTIME_DIR", "/nonexistent/runtime");
        const QString without = SingleInstance::defaultLockFile();
        if (saved.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", saved);
        QCOMPARE(withRuntime, without);
        QVERIFY(!withRuntime.startsWith(runtime.path()));
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

    // A second start, of this copy or of a copy in another folder, talks to
    // the running instance: a file goes to the running one's hand-off file,
    // no file raises its window; when it cannot be reached, exit 1.
    void secondStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("serving");
        QTest::newRow("file, <RUN> dropped") << QStringList{"@/Song.WMA", "<RUN>"} << true;
        QTest::newRow("relative file, made absolute") << QStringList{"Song.WMA"} << true;
        QTest::newRow("no file raises") << QStringList{} << true;
        QTest::newRow("file, unreachable") << QStringList{"@/Song.WMA"} << false;
        QTest::newRow("no file, unreachable") << QStringList{} << false;
    }
    void secondStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, serving);
        const bool handedOver = serving && !arguments.isEmpty();
        QTemporaryDir runningCopy, secondCopy;
        const ProgramPaths running(runningCopy.path()), second(secondCopy.path());
        const QString lock = runningCopy.filePath("joblet.lock");
        SingleInstance first(lock, serving ? runningCopy.filePath("joblet.socket") : QString());
        QVERIFY(first.tryTake());
        QVERIFY(writeFile(running.markerFile(), "first"));
        QVERIFY(writeFile(running.handOffFile(), "/m/earlier.avi\r\n"));
        Serving server(first.takeListeningSocket(), running.handOffFile());

        SingleInstance again(lock, first.socketFile());
        const Start start(argv(arguments), second, again);
        QVERIFY(!start.decision.openWindow);
        QCOMPARE(start.decision.exitCode, serving ? 0 : 1);
        QCOMPARE(start.err.count(u'\n'), 1);
        QVERIFY(start.out.isEmpty());
        QCOMPARE(server.raises.load(), serving && arguments.isEmpty() ? 1 : 0);
        QCOMPARE(readAll(running.markerFile()), QByteArray("first"));
        QCOMPARE(readAll(running.handOffFile()),
                 "/m/earlier.avi\r\n"
                     + (handedOver ? QFile::encodeName(m_dir.filePath("Song.WMA")) + "\r\n" : QByteArray()));
        QVERIFY(!QFileInfo::exists(second.handOffFile()));
        QCOMPARE(start.err.contains(QLatin1String("<RUN>")), arguments.contains("<RUN>"));
    }

    // The first start goes on to its window, its marker made only once the
    // toolkit is up; --help, saying where the files are, needs no lock.
    void firstInstanceOpensTheWindow()
    {
        QTemporaryDir programDir;
        const ProgramPaths paths(programDir.path());
        SingleInstance instance(m_dir.filePath(QStringLiteral("first.lock")), QString());
        const Start start({"joblet", m_dir.filePath("talk.avi")}, paths, instance);
        QVERIFY(start.decision.openWindow);
        QCOMPARE(start.decision.commandLine.kind(), Kind::Job);
        QVERIFY(instance.held());
        QVERIFY(!QFile::exists(paths.markerFile()) && !QFile::exists(paths.handOffFile()));
        QVERIFY(start.out.isEmpty() && start.err.isEmpty());

        SingleInstance second(instance.lockFile(), QString());
        const Start help({"joblet", "--help"}, paths, second);
        QVERIFY(!help.decision.openWindow);
        QVERIFY(help.out.startsWith(QLatin1String("Usage: joblet")));
        QVERIFY(help.out.contains(paths.markerFile()) && help.out.contains(paths.handOffFile()));
        QVERIFY(!second.held());
    }
};

QTEST_GUILESS_MAIN(Tst_Startup)
#include "tst_startup.moc"
