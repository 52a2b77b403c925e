#include "EncoderProfile.h"

#include "EncoderFailure.h"

#include <QFileInfo>

namespace joblet {

namespace {

QString suffixOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
}

} // namespace

QString ProfileSettings::extension() const
{
    const bool withVideo = hasVideo();
    switch (container) {
    case Container::Asf: return withVideo ? QStringLiteral(".wmv") : QStringLiteral(".wma");
    case Container::Mp4: return withVideo ? QStringLiteral(".mp4") : QStringLiteral(".m4a");
    case Container::Matroska: return withVideo ? QStringLiteral(".mkv") : QStringLiteral(".mka");
    case Container::WebM: return QStringLiteral(".webm");
    case Container::Ogg: return audio.codec == AudioCodec::Opus ? QStringLiteral(".opus") : QStringLiteral(".ogg");
    case Container::Flac: return QStringLiteral(".flac");
    case Container::Mp3: return QStringLiteral(".mp3");
    }
    return {};
}

QStringList ProfileSettings::outputExtensions() const
{
    if (container == Container::Asf)
        return {};
    QStringList result {extension()};
    const bool withVideo = hasVideo();
    // Matroska holds every codec we write; MOV what MP4 holds of the H.26x family.
    const QString matroska = withVideo ? QStringLiteral(".mkv") : QStringLiteral(".mka");
    if (!result.contains(matroska))
        result << matroska;
    if (container == Container::Mp4 && withVideo
        && (video.codec == VideoCodec::H264 || video.codec == VideoCodec::H265)
        && (!hasAudio() || audio.codec == AudioCodec::Aac || audio.codec == AudioCodec::Mp3))
        result << QStringLiteral(".mov");
    if (container == Container::Mp4 && !withVideo)
        result << QStringLiteral(".mp4");
    return result;
}

bool ProfileSettings::acceptsOutput(const QString &path) const
{
    return container == Container::Asf || outputExtensions().contains(suffixOf(path));
}

const char *ProfileSettings::muxerFor(const QString &path) const
{
    if (container == Container::Asf)
        return "asf";
    const QString ext = suffixOf(path);
    if (ext == QLatin1String(".mkv") || ext == QLatin1String(".mka"))
        return "matroska";
    if (ext == QLatin1String(".mov"))
        return "mov";
    switch (container) {
    case Container::Asf: return "asf";
    case Container::Mp4: return hasVideo() ? "mp4" : ext == QLatin1String(".mp4") ? "mp4" : "ipod";
    case Container::Matroska: return "matroska";
    case Container::WebM: return "webm";
    case Container::Ogg: return "ogg";
    case Container::Flac: return "flac";
    case Container::Mp3: return "mp3";
    }
    return "asf";
}

bool ProfileSettings::codecsFitContainer() const
{
    const bool v = hasVideo();
    const bool a = hasAudio();
    const VideoCodec vc = video.codec;
    const AudioCodec ac = audio.codec;
    const bool oldVideo = vc == VideoCodec::Wmv2;
    const bool oldAudio = ac == AudioCodec::Wma2;
    switch (container) {
    case Container::Asf: return (!v || oldVideo) && (!a || oldAudio);
    case Container::Mp4:
    case Container::Matroska: return (!v || !oldVideo) && (!a || !oldAudio);
    case Container::WebM:
        return (!v || vc == VideoCodec::Av1 || vc == VideoCodec::Vp9) && (!a || ac == AudioCodec::Opus);
    case Container::Ogg: return !v && (ac == AudioCodec::Opus || ac == AudioCodec::Flac);
    case Container::Flac: return !v && ac == AudioCodec::Flac;
    case Container::Mp3: return !v && ac == AudioCodec::Mp3;
    }
    return false;
}

QString outputMismatch(const ProfileSettings &profile, const QString &path)
{
    if (profile.acceptsOutput(path))
        return {};
    QStringList extensions = profile.outputExtensions();
    const QString last = extensions.takeLast();
    const QString choices = extensions.isEmpty() ? last : extensions.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
    return QStringLiteral("%1 cannot hold what profile \"%2\" encodes; name it %3.")
        .arg(QFileInfo(path).fileName(), profile.name, choices);
}

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
