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

using EventHook = std::function<void(QProcess &, const QJsonObject &)>;

// The program's run: its JSON events as they come (each to the hook), then
// its exit and output.
struct Outcome {
    QProcess process;
    EventHook hook;
    QList<QJsonObject> events;
    QString errorText, output;
    int exitCode = -1;
    bool normalExit = false, timedOut = false;

    void takeLines()
    {
        process.setReadChannel(QProcess::StandardError);
        while (process.canReadLine()) {
            const QByteArray line = process.readLine();
            errorText += QString::fromLocal8Bit(line);
            const QJsonObject event = QJsonDocument::fromJson(line).object();
            if (!event.isEmpty())
                events << event;
            if (!event.isEmpty() && hook)
                hook(process, event);
        }
    }
    Outcome &finish()
    {
        QSignalSpy ended(&process, &QProcess::finished);
        // Generous: a hung process fails the test, not the whole suite's timeout.
        if (process.state() != QProcess::NotRunning && !ended.wait(180000)) {
            timedOut = true;
            process.kill();
            process.waitForFinished();
        }
        takeLines();
        errorText += QString::fromLocal8Bit(process.readAllStandardError());
        output = QString::fromLocal8Bit(process.readAllStandardOutput());
        exitCode = process.exitCode();
        normalExit = process.exitStatus() == QProcess::NormalExit;
        return *this;
    }
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

struct Row {
    QString input;
    QString output;
    QString profile = DefaultProfileName;
};

// `list`: list.jlt's and -list.jlt's bytes; `said` the key text.
struct CommandRow { QStringList args; QByteArray list; int exitCode; QString said; };

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

    // In the test's folder, with no profile of the user's.
    std::unique_ptr<Outcome> start(const QStringList &args, const EventHook &hook = {})
    {
        auto r = std::make_unique<Outcome>();
        r->hook = hook;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("xdg")));
        r->process.setProcessEnvironment(env);
        r->process.setWorkingDirectory(m_dir->path());
        connect(&r->process, &QProcess::readyReadStandardError, this, [p = r.get()] { p->takeLines(); });
        r->process.start(QStringLiteral(JOBLET_BATCH_EXECUTABLE), args);
        r->process.waitForStarted();
        return r;
    }
    std::unique_ptr<Outcome> batch(const QStringList &args, const EventHook &hook = {})
    {
        auto r = start(args, hook);
        r->finish();
        return r;
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
    QList<Row> clipRows(int count)
    {
        QList<Row> rows;
        for (int i = 1; i <= count; ++i) {
            const QString clip = m_media->audioVideoClip(QStringLiteral("c%1.avi").arg(i), 1.0);
            if (clip.isEmpty())
                return {};
            rows << Row{clip, path(QStringLiteral("out/c%1.wmv").arg(i))};
        }
        return rows;
    }

    // A list's Results, '|' between rows; with its journals', as a reader
    // that needs the Results sees them.
    static QString results(const QString &file, bool withJournals = false)
    {
        BatchListFile::Failure failure;
        const auto doc = withJournals ? readWithJournals(file, &failure) : ListDocument::read(file, &failure);
        QStringList all;
        for (int row = 1; doc && row <= doc->count(); ++row)
            all << doc->result(row);
        return doc ? all.join(u'|') : file + QStringLiteral(": ") + failure.text;
    }

    QStringList hidden(const QString &folder, const QString &pattern) const
    {
        return QDir(path(folder)).entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("out")));
        m_media = std::make_unique<test::MediaFixtures>(m_dir->path());
    }

    // The exit code scripts rely on, and the key text on stderr or at the
    // start of stdout. A usage fault or an unreadable list changes no file.
    void commandLine_data()
    {
        QTest::addColumn<CommandRow>("row");
        const QByteArray one = "in.avi;out.wmv;P;\r\n";
        const auto fault = [&](const char *name, const QStringList &args, const QString &text) {
            QTest::newRow(name) << CommandRow{args, one, 2, text + "\njoblet-batch: see joblet-batch --help\n"};
        };
        fault("unknown option", {"run", "-r", "list.jlt"}, "run: Unknown option 'r'.");
        fault("empty value", {"merge", "--results=", "list.jlt", "other.jlt"}, "merge: --results needs a value");
        fault("a flag's value", {"make", "new.jlt", "in.avi", "--force=no"},
              "make: Unexpected value after '--force'.");
        fault("bad --jobs", {"run", "--jobs=257", "list.jlt"}, "--jobs: \"257\" is not auto or 1..256");
        fault("run: no list", {"run"}, "run takes one list file");
        // After "--" a name starting with '-' is a file; so is "-".
        QTest::newRow("check -- -list.jlt") << CommandRow{{"check", "--", "-list.jlt"}, one, 1, "row 1 (in.avi): "};
        QTest::newRow("unreadable list: -") << CommandRow{{"run", "-"}, one, 2, "joblet-batch: -: "};
        QTest::newRow("bad line") << CommandRow{{"run", "list.jlt"}, "a;b;c;Done\r\nd;e\r\n", 2, "list.jlt: line 2: "};
        QTest::newRow("a row fails")
            << CommandRow{{"run", "--jobs", "auto", "list.jlt"}, one, 1, "row 1 (in.avi): Error:80070002"};
        QTest::newRow("merge of other jobs") << CommandRow{{"merge", "list.jlt", "other.jlt"}, "a;b;c;\r\n", 2,
                                                           "other.jlt: line 1: not the same job as in the list"};
        // Checked before any job: the cause named, no row run.
        QTest::newRow("results folder missing")
            << CommandRow{{"run", "--results", "gone/out", "list.jlt"}, one, 1, "gone does not exist"};
    }
    void commandLine()
    {
        QFETCH(CommandRow, row);
        const auto &[args, list, exitCode, said] = row;
        for (const char *name : {"list.jlt", "-list.jlt"})
            QVERIFY(test::writeFile(path(QString::fromLatin1(name)), list));
        QVERIFY(test::writeFile(path(QStringLiteral("other.jlt")), "x;y;z;Done\r\n"));
        const auto o = batch(args);
        QVERIFY(o->normalExit);
        QCOMPARE(o->exitCode, exitCode);
        QVERIFY2(o->output.startsWith(said) || o->errorText.contains(said), qPrintable(o->output + o->errorText));
        if (exitCode != 1) {
            QCOMPARE(test::readAll(path(QStringLiteral("list.jlt"))), list);
            QVERIFY(!QFile::exists(path(QStringLiteral("new.jlt"))));
        }
        if (said.contains(QLatin1String("does not exist")))
            QVERIFY2(!o->errorText.contains(QLatin1String("row 1")), qPrintable(o->errorText));
    }

    // Another program's edit of the list during the run is never overwritten:
    // the run fails, and its Results stay in its journal.
    void listChangedDuringTheRun()
    {
        const QList<Row> rows = clipRows(2);
        QCOMPARE(rows.size(), 2);
        const QString list = writeList(QStringLiteral("list.jlt"), rows);
        const QByteArray edited = "other.avi;other.wmv;P;\r\n";
        const auto o = batch({"run", "--json", list}, [&](QProcess &, const QJsonObject &e) {
            if (e.value("event").toString() == QLatin1String("jobStarted") && e.value("row").toInt() == 2)
                QVERIFY(test::writeFile(list, edited));
        });
        QCOMPARE(o->exitCode, 1);
        QVERIFY2(o->errorText.contains(QLatin1String("jobs changed during the run")), qPrintable(o->errorText));
        QCOMPARE(test::readAll(list), edited);
        QCOMPARE(hidden(".", ".*.journal").size(), 1);
    }

    // Stopped in its second job, a slow one. SIGKILL: the list as it was, the
    // first row's Result in the journal, the job's hidden partial output left.
    // SIGTERM: the job stopped and its output removed, its row
    // "Error:A04B000A", exit 128 + the number. The next run encodes only the
    // rows not Done, keeps the finished output, and clears what a kill left.
    void stoppedRunResumes_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGKILL") << SIGKILL;
        QTest::newRow("SIGTERM") << SIGTERM; // SIGINT: the same handler
    }
    void stoppedRunResumes()
    {
        QFETCH(int, signalNumber);
        QList<Row> rows = clipRows(2);
        // Its encode lasts, yet it is made in a moment: one picture a second,
        // which the profile's 30 fps multiplies.
        rows.insert(1, Row{path(QStringLiteral("slow.avi")), path(QStringLiteral("out/slow.wmv"))});
        QVERIFY(m_media->ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=1:duration=900", "-c:v", "mpeg4",
                                 "-q:v", "4", rows[1].input}));
        const QString list = writeList(QStringLiteral("list.jlt"), rows);
        const QByteArray original = test::readAll(list);

        const auto first = batch({"run", "--json", list}, whenEncoding(2, [&](QProcess &p) {
                                        ::kill(pid_t(p.processId()), signalNumber);
                                    }));
        QVERIFY(!first->timedOut);
        if (signalNumber == SIGKILL) {
            QVERIFY(!first->normalExit);
            QCOMPARE(test::readAll(list), original);
            QCOMPARE(hidden(".", ".*.journal").size(), 1);
            QCOMPARE(hidden("out", "*.partial").size(), 1);
        } else {
            QVERIFY(first->normalExit);
            QCOMPARE(first->exitCode, 128 + signalNumber);
            QCOMPARE(results(list), QStringLiteral("Done|Error:A04B000A|"));
            QCOMPARE(hidden("out", "*.partial"), QStringList());
            QCOMPARE(first->events.last().value("event").toString(), QStringLiteral("runEnded"));
        }
        QCOMPARE(results(list, true), signalNumber == SIGKILL ? "Done||" : "Done|Error:A04B000A|");
        QVERIFY(!QFile::exists(rows[1].output) && !QFile::exists(rows[2].output));

        const ino_t finished = inodeOf(rows[0].output);
        // The same job, quick to encode now.
        QVERIFY(QFile::remove(rows[1].input) && QFile::copy(rows[0].input, rows[1].input));
        // What a kill during a save would leave, and a file of the user's.
        QVERIFY(test::writeFile(path(QStringLiteral(".list.jlt.00000000abcd.saving")), "half"));
        QVERIFY(test::writeFile(path(QStringLiteral("list.jlt.backup")), "mine"));
        const auto second = batch({"run", "--json", list});
        QCOMPARE(second->exitCode, 0);
        QCOMPARE(second->rows("jobStarted"), QList<int>({2, 3}));
        QCOMPARE(results(list), QStringLiteral("Done|Done|Done"));
        QCOMPARE(inodeOf(rows[0].output), finished);
        QCOMPARE(hidden(".", ".*.journal"), QStringList());
        QCOMPARE(hidden("out", "*.partial"), QStringList());
        QVERIFY(!QFile::exists(path(QStringLiteral(".list.jlt.00000000abcd.saving"))));
        QVERIFY(QFile::exists(path(QStringLiteral("list.jlt.backup"))));
    }

    // A failed row stops no other; its neighbours' Results stay their own.
    void twoJobsEachRowItsOwnResult()
    {
        QList<Row> rows = clipRows(3);
        QCOMPARE(rows.size(), 3);
        rows.insert(1, Row{path(QStringLiteral("missing.avi")), path(QStringLiteral("out/m.wmv"))});
        const QString list = writeList(QStringLiteral("list.jlt"), rows);

        const auto o = batch({"run", "--jobs", "2", "--json", list});
        QCOMPARE(o->exitCode, 1);
        QCOMPARE(results(list), QStringLiteral("Done|Error:80070002|Done|Done"));

        // Jobs start in row order, never more than two at once.
        QList<int> started = o->rows("jobStarted");
        QVERIFY(std::is_sorted(started.begin(), started.end()));
        int running = 0, most = 0;
        for (const QJsonObject &e : o->events) {
            const QString name = e.value("event").toString();
            if (name == QLatin1String("jobStarted"))
                most = std::max(most, ++running);
            else if (name == QLatin1String("jobEnded") && started.contains(e.value("row").toInt()))
                --running;
        }
        QVERIFY(most <= 2);
    }

    // Two processes at once: each shard into its own file then one merge
    // into the list, and both into the one list, losing nothing of each other.
    void twoShardsAtOnce()
    {
        const QList<Row> rows = clipRows(5);
        QCOMPARE(rows.size(), 5);
        const QString list = writeList(QStringLiteral("list.jlt"), rows);
        const QByteArray original = test::readAll(list);
        const auto shards = [&](const QString &target, bool ownFiles) {
            std::unique_ptr<Outcome> running[2];
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
        QCOMPARE(results(path(QStringLiteral("list.1.jlt"))), QStringLiteral("Done||Done||Done"));
        QCOMPARE(results(path(QStringLiteral("list.2.jlt"))), QStringLiteral("|Done||Done|"));
        const QString allDone = QStringLiteral("Done|Done|Done|Done|Done");
        QCOMPARE(batch({"merge", list, path(QStringLiteral("list.1.jlt")), path(QStringLiteral("list.2.jlt"))})->exitCode, 0);
        QCOMPARE(results(list), allDone);

        for (const Row &r : rows)
            QVERIFY(QFile::remove(r.output));
        const QString shared = writeList(QStringLiteral("shared.jlt"), rows);
        QCOMPARE(shards(shared, false), 0);
        QCOMPARE(results(shared), allDone);
        QCOMPARE(hidden(".", ".*.journal"), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestBatchCliRuns)
#include "tst_batchcliruns.moc"
