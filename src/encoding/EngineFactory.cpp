#include "EngineFactory.h"

#include "EncoderFailure.h"
#include "FfmpegEncoder.h"
#include "FfmpegProbe.h"
#include "ProfileCatalogue.h"

namespace joblet {

EngineFactory::EngineFactory(QStringList profileFolders)
    : m_profileFolders(std::move(profileFolders))
    , m_creator([] { return std::make_unique<FfmpegEncoder>(); })
{
    const ProfileCollection profiles(ProfileCatalogue::installed(m_profileFolders));
    m_catalogue = std::make_shared<const MediaCatalogue>([profiles] { return profiles; }, probeMediaFile);
}

EngineFactory::EngineFactory(std::shared_ptr<const MediaCatalogue> catalogue, Creator creator)
    : m_catalogue(std::move(catalogue))
    , m_creator(std::move(creator))
{
}

std::unique_ptr<EncoderEngine> EngineFactory::create() const
{
    std::unique_ptr<Encoder> encoder = m_creator ? m_creator() : nullptr;
    if (!encoder)
        throw EncoderFailure(EngineError::NoEncoder);
    auto engine = std::make_unique<EncoderEngine>(m_catalogue, std::move(encoder));
    engine->SetThreadCount(m_threads);
    return engine;
}

} // namespace joblet
