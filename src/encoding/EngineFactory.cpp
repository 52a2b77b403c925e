#include "EngineFactory.h"

#include "EncoderFailure.h"
#include "FfmpegEngine.h"
#include "ProfileCatalogue.h"

namespace joblet {

namespace {
EngineFactory::Creator &creator()
{
    static EngineFactory::Creator c;
    return c;
}
} // namespace

std::unique_ptr<EncoderEngine> EngineFactory::create()
{
    std::unique_ptr<EncoderEngine> engine;
    if (creator())
        engine = creator()();
    else
        engine = std::make_unique<FfmpegEngine>(ProfileCollection(ProfileCatalogue::installed()));
    if (!engine)
        throw EncoderFailure(EngineError::NoEncoder);
    return engine;
}

void EngineFactory::setCreator(Creator c)
{
    creator() = std::move(c);
}

} // namespace joblet
