// joblet-batch as a user runs it: a process over a list of generated clips,
// killed, signalled, run in parallel and sharded.

#include "MediaFixtures.h"

#include "batchcli/ListDocument.h"
#include "batchcli/ResultStore.h"
#include "encoding/ProfileCatalogue.h"

#include <QtTest>

#include "FileHelpers.h"

#include <csignal>
#include <functional>
#include <sys/stat.h>

using namespace joblet;
using namespace joblet::batchcli;

namespace {

// Generous: a hung process fails the test instead of the whole suite's timeout.
constexpr int WatchdogMs = 180000;

struct Outcome {
    int exitCode = -1;
    bool normalExit = false;
    bool timedOut = false;
    QList<QJsonObject> events;
    QString errorText;

    QList<int> rows(const char *event) const
    {
        QList<int> rows;
        for (const QJsonObject &e : events) {
            if (e.value("event").toString() == QLatin1String(event))
                rows << e.value("row").toInt();
        }
        return rows;
    }
};

using EventHook = std::function<void(QProcess &, const QJsonObject &)>;

struct Row {
    QString input;
    QString output;
    QString profile = DefaultProfileName;
};

ino_t inodeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

class TestBatchCliRuns : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<test::MediaFixtures> m_media;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    QProcessEnvironment environment() const
    {
        // No profile of the user's may change what the rows encode with.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("xdg")));
        return env;
    }

    // Starts the program; finish() waits for it, hooked to every JSON event.
    struct Running {
        QProcess process;
        Outcome outcome;
        QByteArray pending;
        EventHook hook;

        void takeLines()
        {
            pending += process.readAllStandardError();
            qsizetype lf;
            while ((lf = pending.indexOf('\n')) >= 0) {
                const QByteArray line = pending.first(lf);
                pending.remove(0, lf + 1);
                outcome.errorText += QString::fromLocal8Bit(line) + u'\n';
                const QJsonObject event = QJsonDocument::fromJson(line).object();
                if (event.isEmpty())
                    continue;
                outcome.events << event;
                if (hook)
                    hook(process, event);
            }
        }
        Outcome finish()
        {
            QSignalSpy ended(&process, &QProcess::finished);
            if (process.state() != QProcess::NotRunning && !ended.wait(WatchdogMs)) {
                outcome.timedOut = true;
                process.kill();
                process.waitForFinished();
            }
            takeLines();
            outcome.errorText += QString::fromLocal8Bit(pending);
            outcome.exitCode = process.exitCode();
            outcome.normalExit = process.exitStatus() == QProcess::NormalExit;
            return outcome;
        }
    };

    std::unique_ptr<Running> start(const QStringList &args, const EventHook &hook = {})
    {
        auto r = std::make_unique<Running>();
        r->hook = hook;
        r->process.setProcessEnvironment(environment());
        connect(&r->process, &QProcess::readyReadStandardError, this, [p = r.get()] { p->takeLines(); });
        r->process.start(QStringLiteral(JOBLET_BATCH_EXECUTABLE), args);
        r->process.waitForStarted();
        return r;
    }

    Outcome batch(const QStringList &args, const EventHook &hook = {})
    {
        return start(args, hook)->finish();
    }

    // Acts once, when `row` reports progress: its encode is surely under way.
    static EventHook whenEncoding(int row, const std::function<void(QProcess &)> &act)
    {
        return [row, act, done = false](QProcess &p, const QJsonObject &e) mutable {
            if (done || e.value("event").toString() != QLatin1String("progress"))
                return;
            for (const auto &job : e.value("running").toArray()) {
                if (!done && job.toObject().value("row").toInt() == row && job.toObject().contains("percent")) {
                    act(p);
                    done = true;
                }
            }
        };
    }

    QString writeList(const QString &name, const QList<Row> &rows)
    {
        QByteArray data;
        for (const Row &r : rows)
            data += (r.input + u';' + r.output + u';' + r.profile + u';').toLocal8Bit() + "\r\n";
        return test::writeFile(path(name), data) ? path(name) : QString();
    }

    // Short clips named c1.avi.., each row encoding into out/cN.wmv.
    QList<Row> clipRows(int count, double seconds = 1.0)
    {
        QList<Row> rows;
        for (int i = 1; i <= count; ++i) {
            const QString clip = m_media->audioVideoClip(QStringLiteral("c%1.avi").arg(i), seconds);
            if (clip.isEmpty())
                return {};
            rows << Row{clip, path(QStringLiteral("out/c%1.wmv").arg(i))};
        }
        return rows;
    }

    // A clip whose encode lasts seconds but which is made in a moment: one
    // picture a second, which the profile's 30 fps multiplies.
    Row slowRow(const QString &name)
    {
        const QString clip = path(name + QStringLiteral(".avi"));
        if (!m_media->ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=1:duration=900", "-c:v",
                              "mpeg4", "-q:v", "4", clip}))
            return {};
        return Row{clip, path(QStringLiteral("out/%1.wmv").arg(name))};
    }

    // As a reader that needs the Results sees them: with the journals'.
    static ListDocument readList(const QString &file, bool withJournals = false)
    {
        BatchListFile::Failure failure;
        auto doc = withJournals ? readWithJournals(file, &failure) : ListDocument::read(file, &failure);
        if (!doc)
            qFatal("%s: %s", qPrintable(file), qPrintable(failure.text));
        return *doc;
    }

    QStringList journals() const
    {
        return QDir(m_dir->path()).entryList({QStringLiteral(".*.journal")}, QDir::Files | QDir::Hidden);
    }

    QStringList partials() const
    {
        return QDir(path(QStringLiteral("out"))).entryList({QStringLiteral("*.partial")},
                                                          QDir::Files | QDir::Hidden | QDir::System);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("out")));
        m_media = std::make_unique<test::MediaFixtures>(m_dir->path());
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QByteArray one = "in.avi;out.wmv;P;\r\n";
        QTest::newRow("no command") << QStringList{} << one << 2 << "no command";
        QTest::newRow("unknown command") << QStringList{"go", "@"} << one << 2 << "unknown command go";
        QTest::newRow("no list") << QStringList{"run"} << one << 2 << "one list file";
        QTest::newRow("jobs 0") << QStringList{"run", "--jobs", "0", "@"} << one << 2 << "--jobs";
        QTest::newRow("shard 3/2") << QStringList{"run", "--shard", "3/2", "@"} << one << 2 << "--shard";
        QTest::newRow("unknown option") << QStringList{"run", "--fast", "@"} << one << 2 << "--fast";
        QTest::newRow("missing list") << QStringList{"run", "@missing"} << one << 2 << "missing.jlt: ";
        QTest::newRow("bad line")
            << QStringList{"run", "@"} << QByteArray("a;b;c;Done\r\nd;e\r\n") << 2
            << "list.jlt: line 2: fewer than three ';' (Error-62)";
        QTest::newRow("every row done")
            << QStringList{"run", "@"} << QByteArray("gone.avi;x.wmv;P;Done\r\n") << 0 << "";
        QTest::newRow("a row fails") << QStringList{"run", "@"} << one << 1 << "row 1 (in.avi): Error:80070002";
        QTest::newRow("merge of other jobs")
            << QStringList{"merge", "@", "@other"} << QByteArray("a;b;c;\r\n") << 2 << "other.jlt: line 1";
        QTest::newRow("merge leaves a row undone")
            << QStringList{"merge", "@", "@"} << QByteArray("a;b;c;Done\r\nd;e;f;\r\n") << 1 << "";
        QTest::newRow("jobs auto") << QStringList{"run", "--jobs", "auto", "@"} << one << 1 << "1 row: 0 Done now, 1 failed (row 1 in.avi)";
        // check's findings go to stdout; run --check names the same.
        QTest::newRow("check finds") << QStringList{"check", "@"} << one << 1 << "";
        QTest::newRow("run --check starts nothing")
            << QStringList{"run", "--check", "@"} << one << 1 << "row 1 (in.avi): ";
        QTest::newRow("make: nearest profiles") << QStringList{"make", "@new", "--profile", "mp4 h264", "in.avi"} << one
                                                << 2 << "nearest: \"MP4 H.264 720p\"";
        for (const char *command : {"run", "merge", "make", "check", "profiles"})
            QTest::newRow(command) << QStringList{command, "--help"} << one << 0 << "";
        QTest::newRow("version") << QStringList{"--version"} << one << 0 << "";
        // Checked before any job: the cause named, no row run.
        QTest::newRow("results folder missing")
            << QStringList{"run", "--results", "@gone/out", "@"} << one << 1 << "gone does not exist";
        QTest::newRow("Result too long for its line")
            << QStringList{"run", "@"} << QByteArray(BatchListFile::MaxLineChars - 8, 'x') + ";o;P;\r\n" << 1
            << "longer than 32767 characters";
    }
    void exitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, list);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QVERIFY(test::writeFile(path(QStringLiteral("list.jlt")), list));
        QVERIFY(test::writeFile(path(QStringLiteral("other.jlt")), "x;y;z;Done\r\n"));
        for (QString &arg : args) {
            if (arg.startsWith(u'@'))
                arg = path((arg.size() > 1 ? arg.mid(1) : QStringLiteral("list")) + QStringLiteral(".jlt"));
        }
        const Outcome o = batch(args);
        QVERIFY(o.normalExit);
        QCOMPARE(o.exitCode, exitCode);
        QVERIFY2(o.errorText.contains(message), qPrintable(o.errorText));
        if (message.contains(QLatin1String("does not exist")))
            QVERIFY2(!o.errorText.contains(QLatin1String("row 1")), qPrintable(o.errorText));
    }

    // Another program's edit of the list during the run is never overwritten:
    // the run fails, and its Results stay in its journal.
    void listChangedDuringTheRun()
    {
        const QList<Row> rows = clipRows(2);
        QCOMPARE(rows.size(), 2);
        const QString list = writeList(QStringLiteral("list.jlt"), rows);
        const QByteArray edited = "other.avi;other.wmv;P;\r\n";
        const Outcome o = batch({"run", "--json", list}, [&](QProcess &, const QJsonObject &e) {
            if (e.value("event").toString() == QLatin1String("jobStarted") && e.value("row").toInt() == 2)
                QVERIFY(test::writeFile(list, edited));
        });
        QCOMPARE(o.exitCode, 1);
        QVERIFY2(o.errorText.contains(QLatin1String("jobs changed during the run")), qPrintable(o.errorText));
        QCOMPARE(test::readAll(list), edited);
        QCOMPARE(journals().size(), 1);
    }

    // SIGKILL at any moment: the list is whole, its finished rows are "Done",
    // and the next run encodes only the rest.
    void killedRunResumes()
    {
        QList<Row> rows = clipRows(6, 3.0);
        QCOMPARE(rows.size(), 6);
        rows[3] = slowRow(QStringLiteral("slow"));
        const QString list = writeList(QStringLiteral("list.jlt"), rows);
        const ListDocument before = readList(list);

        const Outcome first = batch({"run", "--json", list}, whenEncoding(4, [](QProcess &p) { p.kill(); }));
        QVERIFY(!first.timedOut);
        QVERIFY(!first.normalExit);
        // Killed inside the slow job: its hidden partial file is still there.
        QCOMPARE(partials().size(), 1);
        QVERIFY(!QFile::exists(rows[3].output));

        // The list is whole; the finished rows' Results are in the journal.
        QVERIFY(readList(list).sameJobs(before));
        QCOMPARE(journals().size(), 1);
        const ListDocument killed = readList(list, true);
        QVERIFY(killed.sameJobs(before));
        QList<int> done;
        for (int row = 1; row <= killed.count(); ++row) {
            if (killed.result(row) == QLatin1String("Done"))
                done << row;
        }
        // Every row reported finished was in the list before the report.
        for (const int row : first.rows("jobEnded"))
            QVERIFY2(done.contains(row), qPrintable(QString::number(row)));
        QVERIFY(done.contains(3));
        for (int row : {5, 6}) {
            QCOMPARE(killed.result(row), QString());
            QVERIFY(!QFile::exists(rows[row - 1].output));
        }
        QHash<int, ino_t> inodes;
        for (const int row : done)
            inodes.insert(row, inodeOf(rows[row - 1].output));

        // What a kill during a save would leave, and a file of the user's.
        QVERIFY(test::writeFile(path(QStringLiteral(".list.jlt.00000000abcd.saving")), "half"));
        QVERIFY(test::writeFile(path(QStringLiteral("list.jlt.backup")), "mine"));
        const Outcome second = batch({"run", "--json", list});
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(journals(), QStringList());
        QVERIFY(!QFile::exists(path(QStringLiteral(".list.jlt.00000000abcd.saving"))));
        QVERIFY(QFile::exists(path(QStringLiteral("list.jlt.backup"))));
        for (const int row : second.rows("jobStarted"))
            QVERIFY2(!done.contains(row), qPrintable(QString::number(row)));
        const ListDocument finished = readList(list);
        QVERIFY(finished.sameJobs(before));
        for (int row = 1; row <= 6; ++row)
            QCOMPARE(finished.result(row), QStringLiteral("Done"));
        for (const int row : done)
            QCOMPARE(inodeOf(rows[row - 1].output), inodes.value(row));
        QCOMPARE(partials(), QStringList());
    }

    void signalStopsTheRun_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void signalStopsTheRun()
    {
        QFETCH(int, signalNumber);
        QList<Row> rows = clipRows(1);
        rows << slowRow(QStringLiteral("slow")) << clipRows(1);
        rows[2].output = path(QStringLiteral("out/after.wmv"));
        QVERIFY(!rows[1].input.isEmpty());
        const QString list = writeList(QStringLiteral("list.jlt"), rows);

        bool sent = false;
        const Outcome o = batch({"run", "--json", list}, whenEncoding(2, [&](QProcess &p) {
                                    ::kill(pid_t(p.processId()), signalNumber);
                                    sent = true;
                                }));
        QVERIFY(sent);
        QVERIFY(o.normalExit);
        QCOMPARE(o.exitCode, 128 + signalNumber);
        const ListDocument after = readList(list);
        QCOMPARE(after.result(1), QStringLiteral("Done"));
        QCOMPARE(after.result(2), QStringLiteral("Error:A04B000A"));
        QCOMPARE(after.result(3), QString());
        QVERIFY(!QFile::exists(rows[1].output));
        QVERIFY(!QFile::exists(rows[2].output));
        QCOMPARE(partials(), QStringList());
        QCOMPARE(o.events.last().value("event").toString(), QStringLiteral("runEnded"));
    }

    void twoJobsEachRowItsOwnResult()
    {
        QList<Row> rows = clipRows(3);
        QCOMPARE(rows.size(), 3);
        const QString notMedia = m_media->textFile();
        rows.insert(1, Row{path(QStringLiteral("missing.avi")), path(QStringLiteral("out/m.wmv"))});
        rows.insert(3, Row{rows[0].input, path(QStringLiteral("out/p.wmv")), QStringLiteral("No Such Profile")});
        rows.insert(4, Row{notMedia, path(QStringLiteral("out/t.wmv"))});
        const QString list = writeList(QStringLiteral("list.jlt"), rows);

        const Outcome o = batch({"run", "--jobs", "2", "--json", list});
        QCOMPARE(o.exitCode, 1);
        const ListDocument after = readList(list);
        const QStringList expected{"Done", "Error:80070002", "Done", "Error:1", "Error:C00D1B71", "Done"};
        for (int row = 1; row <= 6; ++row)
            QCOMPARE(after.result(row), expected[row - 1]);

        // Jobs start in row order, never more than two at once.
        QList<int> started = o.rows("jobStarted");
        QVERIFY(std::is_sorted(started.begin(), started.end()));
        int running = 0, most = 0;
        for (const QJsonObject &e : o.events) {
            const QString name = e.value("event").toString();
            if (name == QLatin1String("jobStarted"))
                most = std::max(most, ++running);
            else if (name == QLatin1String("jobEnded") && started.contains(e.value("row").toInt()))
                --running;
        }
        QVERIFY(most <= 2);
    }

    // Two processes at once: each shard into its own file then one merge
    // (into a results file, then into the list), and both into the one list,
    // losing nothing of each other.
    void twoShardsAtOnce()
    {
        const QList<Row> rows = clipRows(5);
        QCOMPARE(rows.size(), 5);
        const QString list = writeList(QStringLiteral("list.jlt"), rows);
        const QByteArray original = test::readAll(list);
        const auto shards = [&](const QString &target, bool ownFiles) {
            std::unique_ptr<Running> running[2];
            for (int k = 1; k <= 2; ++k) {
                QStringList args{"run", "--shard", QStringLiteral("%1/2").arg(k)};
                if (ownFiles)
                    args << "--results" << path(QStringLiteral("list.%1.jlt").arg(k));
                running[k - 1] = start(args << target);
            }
            return running[0]->finish().exitCode + running[1]->finish().exitCode;
        };
        QCOMPARE(shards(list, true), 0);
        QCOMPARE(test::readAll(list), original);
        const ListDocument shard1 = readList(path(QStringLiteral("list.1.jlt")));
        QCOMPARE(shard1.result(1), QStringLiteral("Done"));
        QCOMPARE(shard1.result(2), QString());
        const QStringList parts {path(QStringLiteral("list.1.jlt")), path(QStringLiteral("list.2.jlt"))};
        const QString out = path(QStringLiteral("out.jlt"));
        QCOMPARE(batch(QStringList {"merge", "--results", out, list} + parts).exitCode, 0);
        QCOMPARE(test::readAll(list), original);
        QCOMPARE(readList(out).result(5), QStringLiteral("Done"));
        QCOMPARE(batch(QStringList {"merge", list} + parts).exitCode, 0);
        for (int row = 1; row <= 5; ++row)
            QCOMPARE(readList(list).result(row), QStringLiteral("Done"));

        for (const Row &r : rows)
            QVERIFY(QFile::remove(r.output));
        const QString shared = writeList(QStringLiteral("shared.jlt"), rows);
        QCOMPARE(shards(shared, false), 0);
        for (int row = 1; row <= 5; ++row)
            QCOMPARE(readList(shared).result(row), QStringLiteral("Done"));
        QCOMPARE(journals(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBatchCliRuns)
#include "tst_batchcliruns.moc"
