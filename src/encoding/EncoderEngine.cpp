#include "EncoderEngine.h"

#include "EncoderFailure.h"
#include "MediaCatalogue.h"

namespace joblet {

EncoderEngine::EncoderEngine(std::shared_ptr<const MediaCatalogue> catalogue, std::unique_ptr<Encoder> encoder,
                             QObject *parent)
    : QObject(parent)
    , m_catalogue(std::move(catalogue))
    , m_encoder(std::move(encoder))
    , m_profiles(m_catalogue->profiles())
    , m_groups(*m_catalogue)
{
    connect(m_encoder.get(), &Encoder::stateChanged, this,
            [this](joblet::RunState state) { Q_EMIT RunStateChanged(qint32(state)); });
    connect(m_encoder.get(), &Encoder::jobEnded, this, &EncoderEngine::onJobEnded);
}

// The encoder goes first: its job's threads post to it, not to us.
EncoderEngine::~EncoderEngine()
{
    disconnect(m_encoder.get(), nullptr, this, nullptr);
    m_encoder.reset();
}

void EncoderEngine::Start()
{
    if (isActive(m_encoder->state()))
        throw EncoderFailure(EngineError::Busy);
    if (m_groups.Count() == 0 || !m_groups.Item(0).hasSource())
        throw EncoderFailure(EngineError::NoSource);
    SourceGroup &group = m_groups.Item(0);
    if (!group.Profile())
        throw EncoderFailure(EngineError::NoProfile);
    if (m_file.LocalFileName().isEmpty())
        throw EncoderFailure(EngineError::NoOutput);

    EncodeJob job;
    job.inputPath = group.sourcePath();
    job.source = group.sourceInfo();
    job.profile = group.Profile()->settings();
    job.outputPath = m_file.LocalFileName();
    job.threads = m_threads;

    m_errorState = 0;
    m_errorDescription.clear();
    m_encoder->start(std::move(job));
}

void EncoderEngine::Stop()
{
    m_encoder->stop();
}

// A failed job's error comes before its RunStopped.
void EncoderEngine::onJobEnded(const JobOutcome &outcome)
{
    if (outcome.end == JobOutcome::End::Failed) {
        m_errorState = outcome.number;
        m_errorDescription = outcome.text;
        Q_EMIT OnError(outcome.number);
    }
    Q_EMIT RunStateChanged(RunStopped);
    Q_EMIT jobEnded(outcome);
}

} // namespace joblet
