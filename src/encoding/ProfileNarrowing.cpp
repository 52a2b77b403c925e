#include "ProfileNarrowing.h"

#include "EncoderProfile.h"

namespace joblet {

namespace {
int lastIndexIgnoringCase(const QStringList &names, const QString &text)
{
    for (int i = int(names.size()) - 1; i >= 0; --i) {
        if (names.at(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}
} // namespace

std::optional<ProfileNarrowing> narrowProfiles(int audioCount, int videoCount,
                                               const ProfileCollection &profiles,
                                               const QString &remembered)
{
    const bool audio = audioCount > 0;
    const bool video = videoCount > 0;
    if (!audio && !video)
        return std::nullopt;

    ProfileNarrowing result;
    for (const EncoderProfile &p : profiles) {
        const int pAudio = p.MediaCount(MediaAudio);
        const int pVideo = p.MediaCount(MediaVideo);
        const bool suits = audio && video ? pAudio > 0 && pVideo > 0
                           : audio        ? pVideo == 0 && pAudio > 0
                                          : pVideo > 0;
        if (suits)
            result.names << p.Name();
    }
    result.current = lastIndexIgnoringCase(result.names, remembered);
    // An audio-only input does not preselect: the user has to pick.
    if (result.current < 0 && video && !result.names.isEmpty())
        result.current = 0;
    return result;
}

} // namespace joblet
