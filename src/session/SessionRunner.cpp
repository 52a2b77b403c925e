#include "SessionRunner.h"

#include "batch/BatchList.h"
#include "batch/JobResult.h"
#include "encoding/EncoderEngine.h"
#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"

namespace joblet {

namespace {
const QString GroupName = QStringLiteral("Joblet");
} // namespace

SessionRunner::SessionRunner(BatchList &list, const EngineFactory &engines, QObject *parent)
    : QObject(parent)
    , m_list(&list)
    , m_engines(engines)
{
}

// The engine goes with the runner; destroying it ends a job it still runs.
SessionRunner::~SessionRunner() = default;

QString SessionRunner::resultText(qint32 code)
{
    return joblet::resultText(code);
}

EncoderEngine *SessionRunner::Encoder() const
{
    return m_engineReleased ? nullptr : m_engine.get();
}

void SessionRunner::queue(void (SessionRunner::*step)())
{
    QMetaObject::invokeMethod(this, [this, step] { (this->*step)(); }, Qt::QueuedConnection);
}

void SessionRunner::start()
{
    if (m_running)
        throw EncoderFailure(EngineError::Busy, tr("A run is already in progress."));

    // Nothing is changed until an engine exists, so a failure here leaves
    // the runner as it was.
    m_engine = m_engines.create();
    m_engineReleased = false;
    m_stopRequested = false;
    m_running = true;
    m_row = 1;
    m_jobRow = 0;
    m_plan = RunPlan::of(*m_list);
    m_outcome.reset();
    connect(m_engine.get(), &EncoderEngine::OnError, this, &SessionRunner::Encoder_OnError);
    connect(m_engine.get(), &EncoderEngine::jobEnded, this, &SessionRunner::onJobEnded);
    try {
        Q_EMIT engineCreated(m_engine.get());
        m_engine->SourceGroupCollection().Add(GroupName);
    } catch (...) {
        releaseEngine();
        m_engine.reset();
        m_running = false;
        throw;
    }
    queue(&SessionRunner::nextRow);
}

void SessionRunner::nextRow()
{
    if (!m_running || m_jobRow != 0)
        return;
    if (m_stopRequested || !m_list) {
        endRun(Outcome::Stopped);
        return;
    }
    // The count is read again before every row: rows may arrive during a run.
    if (m_row > m_list->count()) {
        endRun(Outcome::Finished);
        return;
    }
    const int row = m_row;
    if (!isDone(m_list->cell(row, BatchItem::ResultKey))) {
        QString description;
        const qint32 code = ProcessInput(*m_engine, m_list->item(row).inputFile,
                                         m_list->cell(row, BatchItem::OutputFileKey),
                                         m_list->cell(row, BatchItem::ProfileKey), &description);
        m_jobRow = row;
        if (code == 0) {
            Q_EMIT jobStarted(row);
            return; // the engine's signals end the job
        }
        endJob(code, description);
        return;
    }
    Q_EMIT rowVisited(row);
    advance();
}

void SessionRunner::advance()
{
    // A stopped run leaves the marks on the row it stopped at.
    if (!m_stopRequested) {
        ++m_row;
        if (m_list && m_row <= m_list->count()) {
            m_list->setSelectedRow(m_row);
            m_list->setHighlightedRow(m_row);
        }
    }
    // One row per pass of the event loop, so a long list of skipped or
    // failing rows never holds up the window.
    queue(&SessionRunner::nextRow);
}

qint32 SessionRunner::ProcessInput(EncoderEngine &engine, const QString &InputFile,
                                   const QString &OutputFile, const QString &Profile,
                                   QString *description)
{
    const auto fail = [description](qint32 number, const QString &text) {
        if (description)
            *description = text;
        return number;
    };

    try {
        SourceGroup &group = engine.SourceGroupCollection().Item(0);
        group.AutoSetFileSource(InputFile);
        std::optional<EncoderProfile> found;
        if (GetProfile(Profile, found, engine.ProfileCollection(), group) != 0)
            return fail(1, tr("No installed profile is named \"%1\".").arg(Profile));
        engine.File().setLocalFileName(OutputFile);
        m_encoderError = 0;
        engine.Start();
    } catch (const EncoderFailure &failure) {
        return fail(failure.number(), failure.description());
    } catch (const std::exception &e) {
        return fail(EngineError::Internal, QString::fromLocal8Bit(e.what()));
    }
    return 0;
}

void SessionRunner::Encoder_OnError(qint32 hResult)
{
    Q_UNUSED(hResult) // the engine's own state is the one to trust
    if (EncoderEngine *engine = Encoder())
        m_encoderError = engine->ErrorState();
}

void SessionRunner::onJobEnded(const JobOutcome &outcome)
{
    if (m_jobRow == 0 || m_outcome)
        return;
    m_outcome = outcome;
    // The row is written outside the engine's own signal, so that the engine
    // can be stopped or destroyed safely.
    queue(&SessionRunner::concludeJob);
}

void SessionRunner::concludeJob()
{
    if (m_jobRow == 0 || !m_outcome)
        return;
    const JobOutcome outcome = *std::exchange(m_outcome, std::nullopt);
    if (outcome.done())
        endJob(0, outcome.note);
    else
        endJob(outcome.number, outcome.text);
}

void SessionRunner::endJob(qint32 number, const QString &description)
{
    const int row = m_jobRow;
    m_jobRow = 0;
    if (m_list && row <= m_list->count()) {
        m_list->setCell(row, BatchItem::ResultKey, resultText(number));
        // A finished job's detail is its note, if the engine has one.
        m_list->setResultDetail(row, description);
        Q_EMIT jobEnded(row, number, description);
        Q_EMIT rowVisited(row);
    }
    advance();
}

bool SessionRunner::stop()
{
    EncoderEngine *engine = Encoder();
    if (!engine)
        throw EncoderFailure(EngineError::NoEncoder, tr("No encoder is running."));
    // The run ends whatever happens below, so a failing Stop cannot leave
    // it waiting for good.
    m_stopRequested = true;
    // A starting engine is stopped too: left alone, its job could still
    // put its output in place while the row reads stopped.
    const bool wasActive = isActive(engine->encoder().state());
    try {
        // The job's end comes from here, Done when the output was in place.
        engine->Stop();
    } catch (...) {
        onJobEnded(JobOutcome::stopped());
        releaseEngine();
        throw;
    }
    // The job's end, also one that came just before this stop and is still
    // on its way here; between jobs this changes nothing.
    onJobEnded(engine->encoder().lastOutcome());
    releaseEngine();
    return wasActive;
}

void SessionRunner::releaseEngine()
{
    if (!m_engine || m_engineReleased)
        return;
    disconnect(m_engine.get(), nullptr, this, nullptr);
    m_engineReleased = true;
    Q_EMIT engineReleased();
}

void SessionRunner::endRun(Outcome outcome)
{
    releaseEngine();
    // Destroying the engine ends a job it may still be starting.
    m_engine.reset();
    m_engineReleased = false;
    m_stopRequested = false;
    m_running = false;
    Q_EMIT runEnded(outcome);
}

} // namespace joblet
