#pragma once

#include "schedule/SessionReportFile.h"
#include "schedule/TimedSchedule.h"

#include "session/RunTally.h"
#include "session/SessionRunner.h"

#include <QObject>

namespace joblet {

class BatchList;
class Clock;
class EngineFactory;

// The one owner of the run state, free of widgets: idle, armed (a schedule
// waits), or running (and who started the run). It owns the runner, the
// schedule and the timed session's report; every event that changes the
// state comes here, and the window draws what it answers and signals.
// "Timed session" is not stored: it is an armed schedule or a run the
// schedule started, so it cannot outlive either.
class RunControl : public QObject {
    Q_OBJECT

public:
    enum class State { Idle, Armed, Running };
    Q_ENUM(State)
    enum class Origin { None, StartButton, Schedule, CommandLine };
    Q_ENUM(Origin)
    enum class Verdict {
        Accepted,
        NoFiles,    // the list is empty
        InProgress, // a run is in progress, or a schedule is armed
        NotInFuture,
        Failed,     // no engine: startFailed() carries the number
    };
    Q_ENUM(Verdict)

    struct RunSummary {
        SessionRunner::Outcome outcome = SessionRunner::Outcome::Finished;
        Origin origin = Origin::None;
        int done = 0;   // jobs of this run that ended "Done"
        int failed = 0; // jobs of this run that ended in an error other than Stop
        RunTally tally = RunTally(); // how each row ended, with its file
    };

    RunControl(BatchList &list, const EngineFactory &engines, const Clock &clock,
               const QString &reportsFolder, QObject *parent = nullptr);
    ~RunControl() override;

    State state() const { return m_state; }
    Origin origin() const { return m_origin; }
    bool timedSession() const
    {
        return m_state == State::Armed || (m_state == State::Running && m_origin == Origin::Schedule);
    }
    // A run encodes or a schedule waits: the machine must stay awake.
    bool keepAwake() const { return m_state != State::Idle; }

    SessionRunner &runner() const { return *m_runner; }
    const TimedSchedule &schedule() const { return m_schedule; }
    const SessionReportFile &reportFile() const { return m_reportFile; }

    // Starts a run now. Refused with an empty list, while armed or running.
    Verdict start(Origin origin);
    // Ends the run in progress at whatever point it is (engine starting,
    // encoding, between jobs); runEnded() follows from the event loop. True
    // when the engine had a job under way. Throws EncoderFailure without a
    // run's engine, or when the engine's Stop fails (the run ends all the same).
    // A timed run's report goes on to its end and is shown, unless a job was
    // encoding: then the report stops there, that job unreported.
    bool stop();
    // The checks of arming without changing anything; Accepted comes with the
    // start that arm() takes.
    Verdict checkArm(int hour, int minute, TimedSchedule::StartCheck *check = nullptr) const;
    Verdict arm(const TimedSchedule::StartCheck &check);
    void cancel();
    // One countdown tick with the lists' selection; starts the run when the
    // schedule fires. Empty countdown when not armed.
    TimedSchedule::Tick tick(int hour, int minute);
    // The program ends: a run is stopped and the schedule dropped, without
    // runEnded() (nobody is left to tell); the report file gets its end.
    void exit();

    // A job from outside the window (command line, hand-off): 0 when added,
    // 1 otherwise; refused during a run, which reads the list.
    int addJob(const QString &input, QString &output, const QString &profile);

Q_SIGNALS:
    void runStarted(joblet::RunControl::Origin origin);
    void startFailed(qint32 number);
    // Every end of a run but exit: the outcome and this run's counts.
    void runEnded(const joblet::RunControl::RunSummary &summary);
    void keepAwakeChanged(bool on);
    // The report of a run the schedule started.
    void reportStarted(const QString &time);
    void reportLine(const QString &line);
    // `finished`: the report got to the run's end and is to be shown; false
    // when a Stop cut it while a job encoded.
    void reportEnded(const QString &time, bool finished);

private:
    void setState(State state, Origin origin);
    void onJobEnded(int row, qint32 number);
    void onRowVisited(int row);
    void onRunEnded(SessionRunner::Outcome outcome);

    BatchList &m_list;
    const EngineFactory &m_engines;
    const Clock &m_clock;
    SessionRunner *m_runner;
    TimedSchedule m_schedule;
    SessionReportFile m_reportFile;
    State m_state = State::Idle;
    Origin m_origin = Origin::None;
    // A timed run's rows still go into its report.
    bool m_reporting = false;
    RunSummary m_summary;
    int m_endedRow = 0; // the row whose job ended last, to tell a skipped row
};

} // namespace joblet
