#include "Encoder.h"

#include "EncoderFailure.h"
#include "RegularInputs.h"

#include <QFile>

#include <sys/stat.h>

namespace joblet {

JobOutcome JobOutcome::stopped()
{
    return {End::Stopped, EngineError::Stopped, EngineError::describe(EngineError::Stopped), {}};
}

Encoder::Encoder(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<joblet::JobOutcome>();
    qRegisterMetaType<joblet::RunState>();
}

Encoder::~Encoder() = default;

void Encoder::start(EncodeJob job)
{
    if (isActive(m_state))
        throw EncoderFailure(EngineError::Busy);
    const bool audio = job.profile.hasAudio() && job.source.audioCount > 0;
    const bool video = job.profile.hasVideo() && job.source.videoCount > 0;
    if (!audio && !video)
        throw EncoderFailure(EngineError::NoMatchingStreams);
    if (isSameFile(job.inputPath, job.outputPath))
        throw EncoderFailure(EngineError::OutputIsInput);
    refuseNonRegular(job.inputPath, job.outputPath);
    if (!job.profile.acceptsOutput(job.outputPath))
        throw EncoderFailure(EngineError::OutputTypeMismatch, outputMismatch(job.profile, job.outputPath));

    job.id = ++m_jobId;
    // Set before the job begins, so that its first reports count; told
    // only once it has begun, since a job that never began never ends.
    m_state = RunState::Starting;
    try {
        startJob(job);
    } catch (...) {
        ++m_jobId;
        m_state = RunState::Stopped;
        throw;
    }
    Q_EMIT stateChanged(m_state);
}

void Encoder::stop()
{
    if (!isActive(m_state))
        return;
    m_finishedBeforeStop.reset();
    stopJob();
    ++m_jobId; // whatever the worker queued before it ended is stale now
    end(m_finishedBeforeStop ? JobOutcome::finished(*m_finishedBeforeStop) : JobOutcome::stopped());
}

void Encoder::setState(RunState state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void Encoder::end(const JobOutcome &outcome)
{
    m_state = RunState::Stopped;
    m_lastOutcome = outcome;
    Q_EMIT jobEnded(outcome);
}

void Encoder::postRunning(quint64 jobId)
{
    QMetaObject::invokeMethod(
        this,
        [this, jobId] {
            if (jobId == m_jobId && isActive(m_state))
                setState(RunState::Running);
        },
        Qt::QueuedConnection);
}

void Encoder::postEnded(quint64 jobId, const JobOutcome &outcome)
{
    QMetaObject::invokeMethod(
        this,
        [this, jobId, outcome] {
            if (jobId != m_jobId || !isActive(m_state))
                return;
            ++m_jobId; // one end per job
            end(outcome);
        },
        Qt::QueuedConnection);
}

void Encoder::finishedBeforeStop(const QString &note)
{
    m_finishedBeforeStop = note;
}

bool isSameFile(const QString &a, const QString &b)
{
    struct stat sa {}, sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0)
        return false;
    if (::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace joblet
