#include "FfmpegEngine.h"

#include "EncoderFailure.h"

namespace joblet {

FfmpegEngine::FfmpegEngine(joblet::ProfileCollection profiles, QObject *parent)
    : EncoderEngine(std::move(profiles), parent)
{
}

FfmpegEngine::~FfmpegEngine() = default;

SourceInfo FfmpegEngine::inspectSource(const QString &)
{
    throw EncoderFailure(EngineError::Internal);
}

void FfmpegEngine::startJob(const EncodeJob &)
{
    throw EncoderFailure(EngineError::Internal);
}

void FfmpegEngine::stopJob() {}

} // namespace joblet
