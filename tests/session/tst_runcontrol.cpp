#include "FakeClock.h"
#include "FakeEncoderEngine.h"
#include "FileHelpers.h"

#include "batch/BatchList.h"
#include "encoding/ProfileCatalogue.h"
#include "session/RunControl.h"

#include <QtTest>

#include <optional>

using namespace joblet;

namespace {

using State = RunControl::State;
using Origin = RunControl::Origin;

const QDate Day(2024, 3, 14);
const QString Stopped = QStringLiteral("Error:A04B000A");

// Two jobs, a clock at 16:04:00, a schedule for 16:05 when asked; `event`
// names the moment of the run at which a "stop <moment>" row stops.
struct Rig {
    QString event;
    FakeEngines engines;
    FakeClock clock;
    QTemporaryDir reports;
    BatchList list;
    RunControl control {list, engines, clock, reports.path()};
    QSignalSpy started {&control, &RunControl::reportStarted};
    QSignalSpy ended {&control, &RunControl::reportEnded};
    QSignalSpy lines {&control, &RunControl::reportLine};
    QSignalSpy runEnded {&control, &RunControl::runEnded};
    QSignalSpy awake {&control, &RunControl::keepAwakeChanged};

    explicit Rig(const QString &e)
        : event(e)
    {
        clock.fixed = QDateTime(Day, QTime(16, 4));
        for (const QString name : {"a", "b"})
            list.append(BatchItem {"/in/" + name + ".avi", "/out/" + name + ".wmv", DefaultProfileName, {}, {}});
        SessionRunner *runner = &control.runner();
        QObject::connect(runner, &SessionRunner::jobStarted, runner, [this](int row) { stopAt(row, "starting"); });
        QObject::connect(runner, &SessionRunner::rowVisited, runner, [this](int row) { stopAt(row, "between jobs"); });
        // After the runner's own connection, so the Stop lands in the pass
        // that delivers the engine's state.
        QObject::connect(runner, &SessionRunner::engineCreated, runner, [this](EncoderEngine *engine) {
            QObject::connect(engine, &EncoderEngine::RunStateChanged, &control, [this](qint32 s) {
                stopAt(1, s == RunRunning ? "encoding" : s == RunStopped ? "at RunStopped" : "");
            });
        });
    }
    void stopAt(int row, const QString &moment)
    {
        if (row != 1 || event != "stop " + moment)
            return;
        if (moment == "starting")
            QCOMPARE(engines->lastEngine->state(), RunState::Starting);
        control.stop();
    }
    bool arm(int hour = 16, int minute = 5)
    {
        TimedSchedule::StartCheck check;
        return control.checkArm(hour, minute, &check) == RunControl::Verdict::Accepted
               && control.arm(check) == RunControl::Verdict::Accepted;
    }
    void fire()
    {
        clock.fixed = QDateTime(Day, QTime(16, 4, 59));
        control.tick(16, 5);
    }
    bool waitForEnd() { return runEnded.count() > 0 || runEnded.wait(10000); }
    QByteArray reportText() const { return test::readAll(control.reportFile().path()); }
    QString report() const
    {
        if (!ended.isEmpty())
            return (ended.last().at(1).toBool() ? "shown " : "ended ") + QString::number(lines.size());
        return started.isEmpty() ? "none" : "open";
    }
};

// `report`: none, open, shown or ended (cut by Stop) and its lines;
// `summary`: outcome done/failed of runEnded, or empty.
struct TableRow { QString from, event; State state; bool timed; QString report, result1, summary; };

} // namespace

class Tst_RunControl : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each state × each event: the state, the timed flag, the report, the
    // runner and row 1 afterwards. Orders a user can produce are rows.
    void table_data()
    {
        QTest::addColumn<TableRow>("row");
        const State I = State::Idle, A = State::Armed, R = State::Running;
        auto row = [](const char *name, const char *from, const char *event, State s, bool timed,
                      const char *report, const QString &result, const char *summary) {
            QTest::newRow(name) << TableRow {from, event, s, timed, report, result, summary};
        };
        row("idle, start", "idle", "start", R, false, "none", "", "");
        row("idle, stop", "idle", "stop", I, false, "none", "", "");
        row("idle, arm", "idle", "arm", A, true, "none", "", "");
        row("idle, arm in the past", "idle", "arm past", I, false, "none", "", "");
        row("idle, cancel", "idle", "cancel", I, false, "none", "", "");
        row("idle, fire", "idle", "fire", I, false, "none", "", "");
        row("idle, exit", "idle", "exit", I, false, "none", "", "");
        row("armed, start", "armed", "start", A, true, "none", "", "");
        row("armed, arm again", "armed", "arm", A, true, "none", "", "");
        row("armed, cancel", "armed", "cancel", I, false, "none", "", "");
        row("armed, tick", "armed", "tick", A, true, "none", "", "");
        row("armed, fire", "armed", "fire", R, true, "open", "", "");
        row("armed, no engine at fire", "armed", "fire, no engine", I, false, "none", "", "");
        // Fault 5: the chosen minute is the current one.
        row("armed, tick in the chosen minute", "armed", "tick now", R, true, "open", "", "");
        row("armed, exit", "armed", "exit", I, false, "none", "", "");
        // Fault 1: arming while a Start run encodes.
        row("start run, arm", "start run", "arm", R, false, "none", "", "");
        row("start run, start", "start run", "start", R, false, "none", "", "");
        // Fault 2: a schedule firing during a run (it cannot be armed then).
        row("start run, fire", "start run", "fire", R, false, "none", "", "");
        row("start run, cancel", "start run", "cancel", R, false, "none", "", "");
        row("start run, ends", "start run", "run ends", I, false, "none", "Done", "Finished 2/0");
        row("start run, job fails", "start run", "run ends, b fails", I, false, "none", "Done", "Finished 1/1");
        row("start run, stop encoding", "start run", "stop encoding", I, false, "none", Stopped, "Stopped 0/0");
        // Fault 8a: Stop while the engine starts a job that gets published.
        row("start run, stop while starting", "start run", "stop starting", I, false, "none", "Done", "Stopped 1/0");
        // Fault 8b: Stop in the pass that delivers RunStopped.
        row("start run, stop as it finishes", "start run", "stop at RunStopped", I, false, "none", "Done", "Stopped 1/0");
        row("start run, stop between jobs", "start run", "stop between jobs", I, false, "none", "Done", "Stopped 1/0");
        row("start run, exit", "start run", "exit", I, false, "none", "", "");
        row("timed run, arm", "timed run", "arm", R, true, "open", "", "");
        row("timed run, fire", "timed run", "fire", R, true, "open", "", "");
        row("timed run, ends", "timed run", "run ends", I, false, "shown 2", "Done", "Finished 2/0");
        // The stopped job is not reported.
        row("timed run, stop encoding", "timed run", "stop encoding", I, false, "ended 0", Stopped, "Stopped 0/0");
        // Fault 3: Stop while starting or between jobs ends the timed session,
        // its report finished and shown.
        row("timed run, stop while starting", "timed run", "stop starting", I, false, "shown 1", "Done", "Stopped 1/0");
        row("timed run, stop between jobs", "timed run", "stop between jobs", I, false, "shown 1", "Done", "Stopped 1/0");
        row("timed run, exit", "timed run", "exit", I, false, "open", "", "");
        // Fault 4: the run after a stopped timed one writes no report.
        row("start run after a timed one, ends", "start after timed", "run ends", I, false, "none", "Done", "Finished 2/0");
        row("command-line run, ends", "command-line run", "run ends", I, false, "none", "Done", "Finished 2/0");
        row("command-line run, arm", "command-line run", "arm", R, false, "none", "", "");
    }
    void table()
    {
        QFETCH(TableRow, row);
        const auto &[from, event, state, timed, report, result1, summary] = row;
        Rig r(event);
        FakeEngineScript &script = *r.engines.sharedScript();
        const bool finishing = event.startsWith("run ends") || event == "stop at RunStopped" || event == "stop between jobs";
        script.defaultJob.outcome = finishing ? FakeJobPlan::Finish : FakeJobPlan::Hang;
        if (event == "run ends, b fails")
            script.setJob("/in/b.avi", FakeJobPlan::Fail, EngineError::Internal);
        // Stopped while starting, the short job got its output in place meanwhile.
        script.stopFindsFinished = event == "stop starting";

        if (from == "armed" || from == "timed run")
            QVERIFY(r.arm());
        if (from == "start after timed") {
            QVERIFY(r.arm());
            r.fire();
            r.control.stop();
            QVERIFY(r.waitForEnd());
            r.started.clear();
            r.ended.clear();
            r.lines.clear();
            r.runEnded.clear();
            r.list.clearResults();
        }
        if (event == "fire, no engine")
            script.creationFailure = EngineError::NoEncoder;
        if (from == "timed run")
            r.fire();
        if (from.startsWith("start"))
            QCOMPARE(r.control.start(Origin::StartButton), RunControl::Verdict::Accepted);
        if (from == "command-line run")
            QCOMPARE(r.control.start(Origin::CommandLine), RunControl::Verdict::Accepted);
        const QByteArray reportBefore = r.reportText();

        if (event == "start")
            r.control.start(Origin::StartButton);
        else if (event == "stop") {
            QVERIFY_THROWS_EXCEPTION(EncoderFailure, r.control.stop());
        } else if (event == "arm")
            r.arm(17, 0);
        else if (event == "arm past")
            QVERIFY(!r.arm(16, 4));
        else if (event == "cancel")
            r.control.cancel();
        else if (event == "tick")
            QCOMPARE(r.control.tick(16, 5).countdown, QString("00:01:00"));
        else if (event == "tick now")
            QVERIFY(r.control.tick(16, 4).fire);
        else if (event.startsWith("fire"))
            r.fire();
        else if (event == "exit")
            r.control.exit();
        else // the run ends by itself or by one of the stops above
            QVERIFY(r.waitForEnd());

        QCOMPARE(r.control.state(), state);
        QCOMPARE(r.control.timedSession(), timed);
        QCOMPARE(r.report(), report);
        QCOMPARE(r.list.cell(1, BatchItem::ResultKey), result1);
        const auto s = r.runEnded.isEmpty() ? std::optional<RunControl::RunSummary>()
                                            : r.runEnded.last().first().value<RunControl::RunSummary>();
        QCOMPARE(s ? QString("%1 %2/%3").arg(QVariant::fromValue(s->outcome).toString()).arg(s->done).arg(s->failed)
                   : QString(), summary);
        // Invariants of every row.
        QCOMPARE(r.control.keepAwake(), r.control.state() != State::Idle);
        if (!r.awake.isEmpty())
            QCOMPARE(r.awake.last().first().toBool(), r.control.keepAwake());
        QCOMPARE(r.control.schedule().isArmed(), r.control.state() == State::Armed);
        if (r.control.state() != State::Running && event != "exit")
            QVERIFY(!r.control.runner().isRunning());
        // A run the schedule did not start never writes into a report.
        if (!r.control.timedSession() && r.report() == "none")
            QCOMPARE(r.reportText(), reportBefore);
        if (!r.ended.isEmpty())
            QVERIFY(r.reportText().contains("Session end time: "));
        if (event == "exit" && from.endsWith("run"))
            QVERIFY(!r.control.runner().Encoder()); // released, its job ended
        else if (r.control.state() == State::Idle)
            QCOMPARE(script.alive, 0);
    }
};

QTEST_GUILESS_MAIN(Tst_RunControl)
#include "tst_runcontrol.moc"
