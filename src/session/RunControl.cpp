#include "RunControl.h"

#include "schedule/Clock.h"

#include "batch/BatchList.h"
#include "encoding/EncoderEngine.h"
#include "encoding/EncoderFailure.h"
#include "session/ListPopulator.h"

namespace joblet {

RunControl::RunControl(BatchList &list, const EngineFactory &engines, const Clock &clock,
                       const QString &reportsFolder, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_engines(engines)
    , m_clock(clock)
    , m_runner(new SessionRunner(list, engines, this))
    , m_schedule(clock)
    , m_reportFile(reportsFolder, clock)
{
    connect(m_runner, &SessionRunner::jobEnded, this,
            [this](int row, qint32 number) { onJobEnded(row, number); });
    connect(m_runner, &SessionRunner::rowVisited, this, &RunControl::onRowVisited);
    connect(m_runner, &SessionRunner::runEnded, this, &RunControl::onRunEnded);
}

RunControl::~RunControl() = default;

void RunControl::setState(State state, Origin origin)
{
    const bool wasAwake = keepAwake();
    m_state = state;
    m_origin = origin;
    if (keepAwake() != wasAwake)
        Q_EMIT keepAwakeChanged(keepAwake());
}

RunControl::Verdict RunControl::start(Origin origin)
{
    if (m_list.count() == 0)
        return Verdict::NoFiles;
    // A schedule that fires leaves Armed for its own run.
    const bool fromSchedule = origin == Origin::Schedule && m_state == State::Armed;
    if (m_state != State::Idle && !fromSchedule)
        return Verdict::InProgress;
    if (m_runner->isRunning())
        return Verdict::InProgress; // a stopped run still winding down
    try {
        m_runner->start();
    } catch (const EncoderFailure &failure) {
        setState(State::Idle, Origin::None);
        Q_EMIT startFailed(failure.number());
        return Verdict::Failed;
    }
    m_summary = RunSummary {SessionRunner::Outcome::Finished, origin, 0, 0, RunTally(m_list.count())};
    m_reporting = origin == Origin::Schedule;
    m_endedRow = 0;
    setState(State::Running, origin);
    Q_EMIT runStarted(origin);
    if (origin == Origin::Schedule) {
        const QString time = m_clock.timeText();
        // A failed write must not hold up the run; the next line tries again.
        m_reportFile.begin(SessionReportFile::startCaption(time));
        Q_EMIT reportStarted(time);
    }
    return Verdict::Accepted;
}

bool RunControl::stop()
{
    // The run, and with it a timed session, ends when the runner says so;
    // the job under way is no longer the report's once the user stops it.
    if (const EncoderEngine *engine = m_runner->Encoder()) {
        if (const RunState state = engine->encoder().state(); state == RunState::Running || state == RunState::Paused)
            m_reporting = false;
    }
    return m_runner->stop();
}

RunControl::Verdict RunControl::checkArm(int hour, int minute, TimedSchedule::StartCheck *check) const
{
    if (m_list.count() == 0)
        return Verdict::NoFiles;
    if (m_state == State::Running)
        return Verdict::InProgress;
    const TimedSchedule::StartCheck result = m_schedule.check(hour, minute);
    if (check)
        *check = result;
    return result.accepted() ? Verdict::Accepted : Verdict::NotInFuture;
}

RunControl::Verdict RunControl::arm(const TimedSchedule::StartCheck &check)
{
    if (m_list.count() == 0)
        return Verdict::NoFiles;
    if (m_state == State::Running)
        return Verdict::InProgress;
    if (!m_schedule.arm(check))
        return Verdict::NotInFuture;
    setState(State::Armed, Origin::None);
    return Verdict::Accepted;
}

void RunControl::cancel()
{
    if (m_state != State::Armed)
        return;
    m_schedule.cancel();
    setState(State::Idle, Origin::None);
}

TimedSchedule::Tick RunControl::tick(int hour, int minute)
{
    if (m_state != State::Armed)
        return {};
    const TimedSchedule::Tick tick = m_schedule.tick(hour, minute);
    if (tick.fire && start(Origin::Schedule) != Verdict::Accepted)
        setState(State::Idle, Origin::None); // the schedule is spent either way
    return tick;
}

void RunControl::exit()
{
    m_schedule.cancel();
    if (m_state == State::Running) {
        try {
            if (m_runner->Encoder())
                m_runner->stop();
        } catch (...) {
            // Leaving anyway.
        }
        if (m_origin == Origin::Schedule)
            m_reportFile.addLine(SessionReportFile::endCaption(m_clock.timeText()));
    }
    setState(State::Idle, Origin::None);
}

int RunControl::addJob(const QString &input, QString &output, const QString &profile)
{
    if (m_state == State::Running)
        return 1;
    return Populate_List(m_list, m_engines, input, output, profile);
}

void RunControl::onJobEnded(int row, qint32 number)
{
    RunTally::End end = RunTally::End::Stopped;
    if (number == 0) {
        ++m_summary.done;
        end = RunTally::End::DoneNow;
    } else if (number != EngineError::Stopped) {
        ++m_summary.failed;
        end = RunTally::End::Failed;
    }
    m_summary.tally.add(row, m_list.item(row).inputFile, end);
    m_endedRow = row;
}

void RunControl::onRowVisited(int row)
{
    if (m_state == State::Running && row != m_endedRow)
        m_summary.tally.add(row, m_list.item(row).inputFile, RunTally::End::Skipped);
    if (m_state != State::Running || !m_reporting)
        return;
    const QString line = SessionReportFile::resultLine(m_list.cell(row, BatchItem::OutputFileKey),
                                                       m_list.cell(row, BatchItem::ResultKey));
    m_reportFile.addLine(line);
    Q_EMIT reportLine(line);
}

void RunControl::onRunEnded(SessionRunner::Outcome outcome)
{
    // After exit() nobody waits for the run any more.
    if (m_state != State::Running)
        return;
    RunSummary summary = m_summary;
    summary.outcome = outcome;
    const bool timed = m_origin == Origin::Schedule;
    setState(State::Idle, Origin::None);
    if (timed) {
        const QString time = m_clock.timeText();
        m_reportFile.addLine(SessionReportFile::endCaption(time));
        Q_EMIT reportEnded(time, m_reporting);
    }
    Q_EMIT runEnded(summary);
}

} // namespace joblet
