#include "EncoderEngine.h"

#include "EncoderFailure.h"
#include "RegularInputs.h"

#include <QFile>

#include <sys/stat.h>

namespace joblet {

EncoderEngine::EncoderEngine(joblet::ProfileCollection profiles, QObject *parent)
    : QObject(parent)
    , m_profiles(std::move(profiles))
    , m_groups(this)
{
}

EncoderEngine::~EncoderEngine() = default;

bool EncoderEngine::isActive() const
{
    return m_runState == RunStarting || m_runState == RunRunning || m_runState == RunPaused;
}

void EncoderEngine::Start()
{
    if (isActive())
        throw EncoderFailure(EngineError::Busy);
    if (m_groups.Count() == 0 || !m_groups.Item(0).hasSource())
        throw EncoderFailure(EngineError::NoSource);
    SourceGroup &group = m_groups.Item(0);
    if (!group.Profile())
        throw EncoderFailure(EngineError::NoProfile);
    if (m_file.LocalFileName().isEmpty())
        throw EncoderFailure(EngineError::NoOutput);

    const ProfileSettings &profile = group.Profile()->settings();
    const SourceInfo &info = group.sourceInfo();
    const bool audio = profile.hasAudio() && info.audioCount > 0;
    const bool video = profile.hasVideo() && info.videoCount > 0;
    if (!audio && !video)
        throw EncoderFailure(EngineError::NoMatchingStreams);
    if (isSameFile(group.sourcePath(), m_file.LocalFileName()))
        throw EncoderFailure(EngineError::OutputIsInput);
    refuseNonRegular(group.sourcePath(), m_file.LocalFileName());
    if (!profile.acceptsOutput(m_file.LocalFileName()))
        throw EncoderFailure(EngineError::OutputTypeMismatch, outputMismatch(profile, m_file.LocalFileName()));

    EncodeJob job;
    job.id = ++m_jobId;
    job.inputPath = group.sourcePath();
    job.source = info;
    job.profile = profile;
    job.outputPath = m_file.LocalFileName();
    job.threads = m_threads;

    m_errorState = 0;
    m_errorDescription.clear();
    m_finished = false;
    m_finishedNote.clear();
    setRunState(RunStarting);
    try {
        startJob(job);
    } catch (...) {
        ++m_jobId;
        setRunState(RunStopped);
        throw;
    }
}

void EncoderEngine::Stop()
{
    if (!isActive())
        return;
    stopJob();
    ++m_jobId; // whatever the worker queued before it ended is stale now
    setRunState(RunStopped);
}

void EncoderEngine::setRunState(qint32 runState)
{
    if (m_runState == runState)
        return;
    m_runState = runState;
    Q_EMIT RunStateChanged(runState);
}

void EncoderEngine::postRunState(quint64 jobId, qint32 runState)
{
    QMetaObject::invokeMethod(
        this,
        [this, jobId, runState] {
            if (jobId != m_jobId)
                return;
            if (runState == RunStopped && m_errorState == 0)
                m_finished = true;
            setRunState(runState);
        },
        Qt::QueuedConnection);
}

void EncoderEngine::postError(quint64 jobId, qint32 number, const QString &description)
{
    QMetaObject::invokeMethod(
        this,
        [this, jobId, number, description] {
            if (jobId != m_jobId)
                return;
            m_errorState = number;
            m_errorDescription = description;
            Q_EMIT OnError(number);
        },
        Qt::QueuedConnection);
}

void EncoderEngine::postFinishedNote(quint64 jobId, const QString &note)
{
    QMetaObject::invokeMethod(
        this,
        [this, jobId, note] {
            if (jobId == m_jobId)
                m_finishedNote = note;
        },
        Qt::QueuedConnection);
}

void EncoderEngine::setStopFoundFinished(const QString &note)
{
    m_finished = true;
    m_finishedNote = note;
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
