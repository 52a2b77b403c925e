#include "FakeEncoderEngine.h"

#include "batch/BatchList.h"
#include "encoding/ProfileCatalogue.h"
#include "session/SessionRunner.h"

#include <QtTest>

#include <functional>

using namespace joblet;

namespace {

// A list, a runner over fake engines, and everything the runner signals, in order.
class Harness : public QObject {
public:
    FakeEngines fakes;
    BatchList list;
    SessionRunner runner;
    QStringList events;
    std::function<void(EncoderEngine &, qint32)> onState; // the run's engine changed state
    std::function<void(int)> onJobStarted;

    Harness()
        : runner(list, fakes.factory())
    {
        connect(&runner, &SessionRunner::engineCreated, this, [this](EncoderEngine *engine) {
            events << QStringLiteral("created");
            connect(engine, &EncoderEngine::RunStateChanged, this, [this, engine](qint32 s) {
                if (onState)
                    onState(*engine, s);
            });
        });
        connect(&runner, &SessionRunner::jobStarted, this, [this](int row) {
            events << QString("started %1").arg(row);
            if (onJobStarted)
                onJobStarted(row);
        });
        connect(&runner, &SessionRunner::jobEnded, this, [this](int row, qint32 number) {
            events << QString("ended %1 %2").arg(row).arg(SessionRunner::resultText(number));
        });
        connect(&runner, &SessionRunner::rowVisited, this, [this](int row) { events << QString("visited %1").arg(row); });
        connect(&runner, &SessionRunner::engineReleased, this, [this] { events << "released"; });
    }

    // Starts a run and waits for its end; an outcome of -1 when it never ends.
    SessionRunner::Outcome run()
    {
        QSignalSpy ended(&runner, &SessionRunner::runEnded);
        runner.start();
        if (!ended.wait(20000))
            return SessionRunner::Outcome(-1);
        return ended.first().first().value<SessionRunner::Outcome>();
    }

    void add(const QString &name, const QString &result = {}, const QString &profile = DefaultProfileName)
    {
        list.append(BatchItem {input(name), "/out/" + name + ".wmv", profile, result, {}});
    }
    static QString input(const QString &name) { return "/in/" + name + ".avi"; }
    QString result(int row) const { return list.cell(row, BatchItem::ResultKey); }
    QString detail(int row) const { return list.item(row).resultDetail; }
    QStringList engineCalls(const QString &prefix) const { return fakes.sharedScript()->log.filter(prefix); }
};

// `plan`: a FakeJobPlan outcome, -1 when the input cannot be opened;
// `detail` also what the fake reports.
struct ResultRow { QString profile; int plan; qint32 number; QString detail, result; bool reachesStart; };

} // namespace

class Tst_SessionRunner : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The result text is the code in upper-case hex, unpadded, as 32 bits; the
    // detail (the failure's description or the finished job's note) replaces an earlier one.
    void jobResult_data()
    {
        QTest::addColumn<ResultRow>("row");
        const QString def = DefaultProfileName, why = "scripted failure";
        const int finish = FakeJobPlan::Finish, fail = FakeJobPlan::Fail;
        QTest::newRow("plain finish, profile in other case") << ResultRow{def.toLower(), finish, 0, "", "Done", true};
        QTest::newRow("finished with a note") << ResultRow{def, finish, 0, "only part encoded", "Done", true};
        QTest::newRow("unknown profile")
            << ResultRow{"Nothing Like It", finish, 0, "No installed profile is named \"Nothing Like It\".", "Error:1", false};
        QTest::newRow("error event") << ResultRow{def, fail, EngineError::DecodeFailed, why, "Error:A04B0007", true};
        QTest::newRow("start fails")
            << ResultRow{def, FakeJobPlan::FailAtStart, EngineError::NoMatchingStreams, why, "Error:A04B0005", true};
        QTest::newRow("input unusable") << ResultRow{def, -1, EngineError::UnrecognisedMedia, why, "Error:C00D1B71", false};
    }
    void jobResult()
    {
        QFETCH(ResultRow, row);
        const auto &[profile, plan, number, detail, result, reachesStart] = row;
        Harness h;
        h.add("a", "Error:1", profile);
        h.list.setResultDetail(1, "earlier failure");
        if (plan < 0)
            h.fakes->setSourceFailure(h.input("a"), number, detail);
        else
            h.fakes->setJob(h.input("a"), FakeJobPlan::Outcome(plan), number, detail);

        QCOMPARE(h.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(h.result(1), result);
        QCOMPARE(h.detail(1), detail);
        QCOMPARE(h.engineCalls("Start ").size(), reachesStart ? 1 : 0);
        if (plan == FakeJobPlan::Fail)
            QCOMPARE(h.runner.EncoderError(), number);
    }

    // The order of a run's signals; only exact "Done" is skipped; marks move
    // to each job before it runs; every job reuses the run's one group.
    void signalsOfARun()
    {
        Harness h;
        h.add("a", "Done");
        h.add("b", "done");
        h.add("c", {}, "Nothing Like It");
        h.add("d");
        h.fakes->setJob(h.input("b"), FakeJobPlan::Fail, EngineError::EncodeFailed);
        QStringList seen; // selected/highlighted row as each job runs
        int groups = 0;
        h.onState = [&](EncoderEngine &e, qint32) {
            groups = e.SourceGroupCollection().Count();
            QCOMPARE(h.runner.Encoder(), &e);
        };
        h.onJobStarted = [&](int row) {
            seen << QString("%1 %2/%3").arg(row).arg(h.list.selectedRow()).arg(h.list.highlightedRow());
        };
        QCOMPARE(h.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(h.events, QStringList({"created", "visited 1", "started 2", "ended 2 Error:A04B0008", "visited 2",
                                        "ended 3 Error:1", "visited 3", "started 4", "ended 4 Done", "visited 4",
                                        "released"}));
        QCOMPARE(seen, QStringList({"2 2/2", "4 4/4"}));
        QCOMPARE(h.list.selectedRow(), 4); // nothing beyond the last row
        QCOMPARE(groups, 1);
        QCOMPARE(h.runner.Encoder(), nullptr);
        QCOMPARE(h.fakes->alive, 0);
    }

    void rowsAddedDuringTheRunAreRun()
    {
        Harness h;
        h.add("a");
        h.onState = [&](EncoderEngine &, qint32 s) {
            if (s == RunRunning && h.list.count() < 3)
                h.add(QString("late%1").arg(h.list.count()));
        };
        QCOMPARE(h.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(h.engineCalls("Start ").size(), 3);
        QCOMPARE(h.result(3), QString("Done"));
    }

    void startRefusals()
    {
        Harness h;
        QCOMPARE(h.run(), SessionRunner::Outcome::Finished); // an empty list
        QCOMPARE(h.events, QStringList({"created", "released"}));
        h.add("a");
        h.fakes->creationFailure = EngineError::NoEncoder;
        QCOMPARE(startFailure(h.runner), EngineError::NoEncoder);
        QVERIFY(!h.runner.isRunning());
        h.fakes->creationFailure = 0;
        qint32 refused = 0;
        h.onJobStarted = [&](int) { refused = startFailure(h.runner); };
        QCOMPARE(h.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(refused, EngineError::Busy);
        QCOMPARE(h.fakes->created, 2);
        QCOMPARE(h.result(1), QString("Done"));
    }

    // A runner that goes away mid-job takes its engine with it.
    void destroyedDuringAJob()
    {
        FakeEngines fakes;
        BatchList list;
        list.append(BatchItem {"/in/a.avi", "/out/a.wmv", DefaultProfileName, {}, {}});
        fakes->setJob("/in/a.avi", FakeJobPlan::Hang);
        auto runner = std::make_unique<SessionRunner>(list, fakes.factory());
        QSignalSpy started(runner.get(), &SessionRunner::jobStarted);
        runner->start();
        QVERIFY(started.wait());
        runner.reset();
        QCOMPARE(fakes->alive, 0);
        QCoreApplication::processEvents(); // nothing queued may reach the dead runner
    }
};

QTEST_GUILESS_MAIN(Tst_SessionRunner)
#include "tst_sessionrunner.moc"
