#include "EncoderProfile.h"

#include "EncoderFailure.h"

namespace joblet {

int EncoderProfile::MediaCount(int mediaType) const
{
    switch (mediaType) {
    case MediaAudio: return m_settings.hasAudio() ? 1 : 0;
    case MediaVideo: return m_settings.hasVideo() ? 1 : 0;
    default: throw EncoderFailure(EngineError::InvalidArgument);
    }
}

const EncoderProfile &ProfileCollection::Item(int index) const
{
    if (index < 0 || index >= m_profiles.size())
        throw EncoderFailure(EngineError::InvalidArgument);
    return m_profiles.at(index);
}

} // namespace joblet
