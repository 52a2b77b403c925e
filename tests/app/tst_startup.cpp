// Start-up in this process: the command line, the one instance, a second
// start's hand-over, and a killed session's list offered back.
#include "app/CommandLine.h"
#include "app/HandOffWriter.h"
#include "app/InstanceChannel.h"
#include "app/PathCheck.h"
#include "app/ProgramPaths.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "app/StartupRecovery.h"
#include "app/WindowStart.h"
#include "batch/BatchList.h"
#include "batch/RecoveryFile.h"
#include "ui/FrmJobletIn.h"

#include "Unprivileged.h"

#include "FileHelpers.h"
#include "TestContext.h"

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

// `files`: "input|output".
struct LineRow { QStringList arguments; Kind kind; QString files; bool run; };
struct PathsRow { QString folder; int mode; bool beside; };
// `answer` a QMessageBox button; `rows` the list's Results afterwards,
// `fileAfter` the file's after a normal close.
struct OfferRow { bool unattended; int answer; QStringList rows, fileAfter; };

BatchItem job(const QString &input, const QString &result = QString())
{
    return {input, input + ".wmv", QStringLiteral("Profile"), result, QString()};
}

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
        for (const char *name : {"talk.avi", "Song.WMA", "x.avi", "my talk.avi", "week.JLT", "--version"})
            QVERIFY(writeFile(m_dir.filePath(QString::fromLatin1(name)), "media"));
        m_savedCurrent = QDir::currentPath();
        QDir::setCurrent(m_dir.path()); // for the relative path row
    }
    void cleanupTestCase() { QDir::setCurrent(m_savedCurrent); }

    void commandLine_data()
    {
        QTest::addColumn<LineRow>("row");
        QTest::newRow("path then token") << LineRow{{"@/talk.avi", "<RUN>"}, Kind::Job, "@/talk.avi|@/talk.wmv", true};
        QTest::newRow("token glued, WMA") << LineRow{{"@/Song.WMA<RUN>"}, Kind::Job, "@/Song.WMA|@/Song.WMA_1.wma", true};
        QTest::newRow("token first") << LineRow{{"<RUN>", "@/x.avi"}, Kind::NoFile, "|", true};
        // An option only when no file has its name.
        QTest::newRow("option naming a file") << LineRow{{"--version"}, Kind::Job, "--version|--verswmv", false};
        QTest::newRow("blank inside path") << LineRow{{"@/my", "talk.avi"}, Kind::Job, "@/my talk.avi|@/my talk.wmv", false};
        QTest::newRow("list file") << LineRow{{"@/week.JLT", "<RUN>"}, Kind::List, "@/week.JLT|", true};
    }
    void commandLine()
    {
        QFETCH(LineRow, row);
        const CommandLine line = CommandLine::parse(argv(row.arguments));
        QCOMPARE(line.kind(), row.kind);
        QCOMPARE(line.input() + '|' + line.output(), at(row.files));
        QCOMPARE(line.startRun(), row.run);
    }

    // The marker and hand-off file stay beside the program only in a
    // folder that is the user's alone, whatever its name.
    void programPaths_data()
    {
        QTest::addColumn<PathsRow>("row");
        QTest::newRow("portable, the user's own") << PathsRow{"portable", 0700, true};
        QTest::newRow("group-writable") << PathsRow{"shared", 0775, false};
        QTest::newRow("writable by others") << PathsRow{"open", 0757, false};
        QTest::newRow("read-only") << PathsRow{"readonly", 0555, false};
        QTest::newRow("a system install, root's too") << PathsRow{"/usr/bin", -1, false};
        QTest::newRow("another user's") << PathsRow{"other", 0755, false};
    }
    void programPaths()
    {
        QFETCH(PathsRow, row);
        const auto &[folder, mode, beside] = row;
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
    }

    // Taken over from a crashed holder (that it is taken once is
    // secondStart's); a holder that never unlocked is the same case.
    void lockTakenOverAfterACrash()
    {
        const QString lock = m_dir.filePath(QStringLiteral("crash.lock"));
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
        const auto restore = qScopeGuard(
            [&] { saved.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", saved); });
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString withRuntime = SingleInstance::defaultLockFile();
        qputenv("XDG_RUNTIME_DIR", "/nonexistent/runtime");
        QCOMPARE(SingleInstance::defaultLockFile(), withRuntime);
        QVERIFY(!withRuntime.startsWith(runtime.path()));
    }

    // A line break in a path would plant a second one in the hand-off file.
    void handOffWriterRefuses()
    {
        const QString file = m_dir.filePath(QStringLiteral("refused.lst"));
        for (const QString path : {"/m/a\n.avi", "/m/a\r.avi"}) {
            QString why;
            QVERIFY(!HandOff::appendLine(file, path, &why) && !why.isEmpty());
        }
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
        QCOMPARE(server.raises.load(), serving && arguments.isEmpty() ? 1 : 0);
        QCOMPARE(readAll(running.markerFile()), QByteArray("first"));
        QCOMPARE(readAll(running.handOffFile()),
                 "/m/earlier.avi\r\n"
                     + (handedOver ? QFile::encodeName(m_dir.filePath("Song.WMA")) + "\r\n" : QByteArray()));
        QVERIFY(!QFileInfo::exists(second.handOffFile()));
    }

    // The first start goes on to its window, its marker made only once the
    // toolkit is up.
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
    }

    // A path the existence test rejects is reported with its number while
    // the window loads, before it is shown; one that names nothing is none.
    void rejectedPath()
    {
        QDir(m_dir.path()).mkpath("loop");
        QFile::link(m_dir.filePath("loop/b"), m_dir.filePath("loop/a"));
        QFile::link(m_dir.filePath("loop/a"), m_dir.filePath("loop/b"));
        QDir(m_dir.path()).mkpath("closed");
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                | QFileDevice::ExeOwner | QFileDevice::ExeOther);
        QFile::setPermissions(m_dir.filePath("closed"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(holdsWithoutPrivilege([&] {
            const CommandLine line = CommandLine::parse({"joblet", m_dir.filePath("closed/talk.avi"), "<RUN>"});
            return line.kind() == Kind::Rejected && line.errorNumber() == PathCheck::PermissionDenied;
        }));
        QCOMPARE(CommandLine::parse({"joblet", m_dir.filePath("missing.avi")}).kind(), Kind::NoFile);

        const CommandLine loop = CommandLine::parse({"joblet", m_dir.filePath("loop/a")});
        QCOMPARE(loop.errorNumber(), int(PathCheck::BadFileName));
        TestContext tc;
        FrmJobletIn window(tc.context());
        loadWindow(window, loop, tc.ui);
        QCOMPARE(tc.ui.texts(), QStringList{"Error Executing Application"});
        QCOMPARE(tc.ui.messages.first().title, UiServices::errorTitle(PathCheck::BadFileName));
        QVERIFY(!window.isVisible());
    }

    void recoveryOffer_data()
    {
        QTest::addColumn<OfferRow>("row");
        const QStringList kept{"Done", "Error:A04B000A"};
        QTest::newRow("yes") << OfferRow{false, QMessageBox::Yes, QStringList{""} + kept, {}};
        // Unattended asks nothing; kept for the next ordinary start, even after this one closes.
        QTest::newRow("unattended") << OfferRow{true, QMessageBox::Yes, {""}, kept};
        QTest::newRow("ended under the question") << OfferRow{false, QMessageBox::NoButton, {""}, kept};
    }
    // One question; Yes adds the rows with their Results after what the
    // command line put in, No forgets them.
    void recoveryOffer()
    {
        QFETCH(OfferRow, row);
        const auto &[unattended, answer, rows, fileAfter] = row;
        const QString path = m_dir.filePath("offer/recovery.jlt");
        QVERIFY(RecoveryFile::write(path, {job("/m/a.avi", "Done"), job("/m/b.avi", "Error:A04B000A")}));

        BatchList list;
        QVERIFY(list.append(job("/m/command-line.avi")));
        RecoveryFile file(list, path);
        FakeUiServices dialogs;
        dialogs.answers.enqueue(QMessageBox::StandardButton(answer));
        offerRecovery(file, list, dialogs, nullptr, unattended);
        QCOMPARE(dialogs.messages.size(), unattended ? 0 : 1);
        QStringList results;
        for (int r = 1; r <= list.count(); ++r)
            results << list.item(r).result;
        QCOMPARE(results, rows);

        file.closeNormally();
        QStringList leftResults;
        for (const BatchItem &item : RecoveryFile::read(path).value_or(QList<BatchItem>()))
            leftResults << item.result;
        QCOMPARE(leftResults, fileAfter);
    }

    // Edits and job ends reach the file without anyone asking, also while
    // earlier rows are still carried over; a file not ours is not read.
    void recoveryFileFollowsTheList()
    {
        const QString path = m_dir.filePath("keep/recovery.jlt");
        QVERIFY(RecoveryFile::write(path, {job("/m/old.avi", "Done")}));
        BatchList list;
        RecoveryFile file(list, path);
        QCOMPARE(file.carriedOver().size(), 1);
        QVERIFY(list.append(QList<BatchItem>{job("/m/a.avi"), job("/m/b.avi")}));
        list.setCell(2, BatchItem::ResultKey, QStringLiteral("Done"));
        list.remove(1);
        const QByteArray expected = RecoveryFile::format({job("/m/old.avi", "Done"), job("/m/b.avi", "Done")});
        QTRY_COMPARE(readAll(path), expected);
        QVERIFY(expected.endsWith(";Profile;Done\r\n"));

        list.clearResults();
        file.flush();
        QCOMPARE(readAll(path), RecoveryFile::format({job("/m/old.avi", "Done"), job("/m/b.avi")}));

        const QString link = m_dir.filePath("keep/link.jlt");
        QVERIFY(QFile::link(path, link));
        QVERIFY(!RecoveryFile::read(link));
        QVERIFY(writeFile(m_dir.filePath("keep/bad.jlt"), "no fields\r\n"));
        QVERIFY(!RecoveryFile::read(m_dir.filePath("keep/bad.jlt")));
    }
};

QTEST_MAIN(Tst_Startup)
#include "tst_startup.moc"
