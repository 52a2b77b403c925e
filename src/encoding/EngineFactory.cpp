#include "EngineFactory.h"

#include "EncoderFailure.h"
#include "FfmpegEngine.h"
#include "ProfileCatalogue.h"

namespace joblet {

EngineFactory::EngineFactory(QStringList profileFolders)
    : m_profileFolders(std::move(profileFolders))
{
}

EngineFactory::EngineFactory(Creator creator)
    : m_creator(std::move(creator))
{
}

std::unique_ptr<EncoderEngine> EngineFactory::create() const
{
    std::unique_ptr<EncoderEngine> engine;
    if (m_creator)
        engine = m_creator();
    else
        engine = std::make_unique<FfmpegEngine>(
            ProfileCollection(ProfileCatalogue::installed(m_profileFolders)));
    if (!engine)
        throw EncoderFailure(EngineError::NoEncoder);
    engine->SetThreadCount(m_threads);
    return engine;
}

} // namespace joblet
