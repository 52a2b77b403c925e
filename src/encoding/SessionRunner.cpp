#include "SessionRunner.h"

#include "EncoderEngine.h"
#include "EncoderFailure.h"
#include "EngineFactory.h"
#include "ProfileCatalogue.h"
#include "batch/BatchList.h"
#include "schedule/Clock.h"

#include <QEventLoop>

namespace joblet {

namespace {
const QString DoneText = QStringLiteral("Done");
const QString RunningText = QStringLiteral("Encoder Running");
const QString StoppedText = QStringLiteral("Encoder Stopped");
const QString GroupName = QStringLiteral("Joblet");
} // namespace

SessionRunner::SessionRunner(BatchList &list, QObject *parent)
    : QObject(parent)
    , m_list(&list)
{
}

SessionRunner::~SessionRunner() = default;

QString SessionRunner::resultText(qint32 code)
{
    return code == 0 ? DoneText
                     : QStringLiteral("Error:") + QString::number(quint32(code), 16).toUpper();
}

EncoderEngine *SessionRunner::Encoder() const
{
    return m_engineReleased ? nullptr : m_engine.get();
}

SessionRunner::Outcome SessionRunner::run()
{
    if (m_running)
        throw EncoderFailure(EngineError::Busy, tr("A run is already in progress."));

    // Nothing is changed until an engine exists, so a failure here leaves
    // the runner as it was.
    std::unique_ptr<EncoderEngine> engine = EngineFactory::create();
    m_engine = std::move(engine);
    m_engineReleased = false;
    m_stopRequested = false;
    m_running = true;
    connect(m_engine.get(), &EncoderEngine::OnError, this, &SessionRunner::Encoder_OnError);

    try {
        Q_EMIT engineCreated(m_engine.get());
        m_engine->SourceGroupCollection().Add(GroupName);
        if (m_timedSession)
            Q_EMIT reportStarted(Clock::instance().timeText());

        // The count is read again before every job: rows may arrive while
        // one encodes.
        int row = 1;
        while (!m_stopRequested && m_list && row <= m_list->count()) {
            const QString input = m_list->item(row).inputFile;
            const QString output = m_list->cell(row, BatchItem::OutputFileKey);
            const QString profile = m_list->cell(row, BatchItem::ProfileKey);
            const QString result = m_list->cell(row, BatchItem::ResultKey);
            if (result != DoneText) {
                QString description;
                const qint32 code = ProcessInput(*m_engine, input, output, profile, &description);
                if (!m_list || row > m_list->count())
                    break;
                m_list->setCell(row, BatchItem::ResultKey, resultText(code));
                m_list->setResultDetail(row, code == 0 ? QString() : description);
            }
            if (m_timedSession) {
                Q_EMIT reportLine(QStringLiteral("File: ") + output + QStringLiteral(" Result: ")
                                  + m_list->cell(row, BatchItem::ResultKey));
            }
            if (m_stopRequested || !m_list)
                break;
            ++row;
            if (row <= m_list->count()) {
                m_list->setSelectedRow(row);
                m_list->setHighlightedRow(row);
            }
        }
    } catch (...) {
        finishRun();
        throw;
    }

    const bool stopped = m_stopRequested || !m_list;
    finishRun();
    if (stopped)
        return Outcome::Stopped;
    if (m_timedSession) {
        m_timedSession = false;
        Q_EMIT timedSessionEnded();
        Q_EMIT reportFinished(Clock::instance().timeText());
    }
    return Outcome::Finished;
}

void SessionRunner::finishRun()
{
    releaseEngine();
    // Destroying the engine ends a job it may still be starting.
    m_engine.reset();
    m_engineReleased = false;
    m_stopRequested = false;
    m_running = false;
}

void SessionRunner::releaseEngine()
{
    if (!m_engine || m_engineReleased)
        return;
    disconnect(m_engine.get(), nullptr, this, nullptr);
    m_engineReleased = true;
    Q_EMIT engineReleased();
}

bool SessionRunner::stop()
{
    if (!Encoder())
        throw EncoderFailure(EngineError::NoEncoder, tr("No encoder is running."));
    return stopRun();
}

bool SessionRunner::stopRun()
{
    // The run ends whatever happens below, so that a failing Stop cannot
    // leave a job waiting for good.
    m_stopRequested = true;
    if (m_waitLoop)
        m_waitLoop->quit();

    EncoderEngine *engine = Encoder();
    if (!engine)
        return false;
    bool wasRunning = false;
    try {
        const qint32 state = engine->RunState();
        if (state == RunRunning || state == RunPaused) {
            wasRunning = true;
            engine->Stop();
            if (m_timedSession) {
                m_timedSession = false;
                Q_EMIT timedSessionEnded();
            }
        }
    } catch (...) {
        releaseEngine();
        throw;
    }
    releaseEngine();
    return wasRunning;
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
    Q_EMIT statusTextChanged(RunningText);

    const auto ended = [&] {
        return engine.RunState() == RunStopped || m_encoderError != 0 || m_stopRequested;
    };
    QEventLoop loop;
    connect(&engine, &EncoderEngine::RunStateChanged, &loop, [&] {
        if (ended())
            loop.quit();
    });
    // The current engine's errors reach Encoder_OnError first; this covers
    // an engine the caller passed in that is not the run's.
    connect(&engine, &EncoderEngine::OnError, &loop, [&] {
        if (m_encoderError == 0 && &engine != Encoder())
            m_encoderError = engine.ErrorState();
        if (ended())
            loop.quit();
    });
    QEventLoop *const outerWait = m_waitLoop;
    m_waitLoop = &loop;
    if (!ended())
        loop.exec();
    m_waitLoop = outerWait;

    bool abandoned = false;
    if (!ended()) {
        // Someone told every event loop to quit (the application is
        // exiting); nothing may wait any more, so the run ends here.
        abandoned = true;
        try {
            if (&engine == Encoder())
                stopRun();
            else if (engine.RunState() == RunRunning || engine.RunState() == RunPaused)
                engine.Stop();
        } catch (const EncoderFailure &) {
            // The job is abandoned either way; its engine goes with the run.
        }
    }
    if (m_encoderError != 0 && !abandoned) {
        // The error event comes before the engine has wound the job down;
        // left alone, the next job's Start would be refused as busy.
        try {
            engine.Stop();
        } catch (const EncoderFailure &) {
            // Start reports it if the engine is still not idle.
        }
    }
    Q_EMIT statusTextChanged(StoppedText);

    if (m_encoderError != 0)
        return fail(m_encoderError, engine.ErrorDescription());
    if (m_stopRequested || abandoned)
        return fail(EngineError::Stopped, EngineError::describe(EngineError::Stopped));
    return 0;
}

void SessionRunner::Encoder_OnError(qint32 hResult)
{
    Q_UNUSED(hResult) // the engine's own state is the one to trust
    if (EncoderEngine *engine = Encoder())
        m_encoderError = engine->ErrorState();
}

} // namespace joblet
