#include "EngineFactory.h"

#include "EncoderFailure.h"
#include "FfmpegEngine.h"
#include "FfmpegProbe.h"
#include "ProfileCatalogue.h"

namespace joblet {

EngineFactory::EngineFactory(QStringList profileFolders)
    : m_profileFolders(std::move(profileFolders))
{
    const ProfileCollection profiles(ProfileCatalogue::installed(m_profileFolders));
    m_catalogue = std::make_shared<const MediaCatalogue>([profiles] { return profiles; }, probeMediaFile);
}

EngineFactory::EngineFactory(Creator creator)
    : m_creator(std::move(creator))
{
    // A made-up engine is the only one that knows its made-up files. The
    // catalogue keeps its own copy of the creator: a factory may be copied.
    auto made = [creator = m_creator] {
        std::unique_ptr<EncoderEngine> engine = creator ? creator() : nullptr;
        if (!engine)
            throw EncoderFailure(EngineError::NoEncoder);
        return engine;
    };
    m_catalogue = std::make_shared<const MediaCatalogue>(
        [made] { return made()->ProfileCollection(); },
        [made](const QString &path) {
            const std::unique_ptr<EncoderEngine> engine = made();
            SourceGroup &group = engine->SourceGroupCollection().Add(QStringLiteral("probe"));
            group.AutoSetFileSource(path);
            return group.sourceInfo();
        });
}

std::unique_ptr<EncoderEngine> EngineFactory::create() const
{
    std::unique_ptr<EncoderEngine> engine;
    if (m_creator)
        engine = m_creator();
    else
        engine = std::make_unique<FfmpegEngine>(m_catalogue->profiles());
    if (!engine)
        throw EncoderFailure(EngineError::NoEncoder);
    engine->SetThreadCount(m_threads);
    return engine;
}

} // namespace joblet
