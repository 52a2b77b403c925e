#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace joblet {

// Media types as the engine interface numbers them.
inline constexpr int MediaAudio = 1;
inline constexpr int MediaVideo = 2;

// What the output file is. Asf is the original family; the others carry the
// codecs people play today.
enum class Container { Asf, Mp4, Matroska, WebM, Ogg, Flac, Mp3 };
enum class VideoCodec { Wmv2, H264, H265, Av1, Vp9 };
enum class AudioCodec { Wma2, Aac, Opus, Flac, Mp3 };

struct VideoSettings {
    int width = 0;     // exact size (Wmv2); 0 with maxWidth/maxHeight set
    int height = 0;
    int frameRate = 0; // frames per second, whole numbers only; 0: the input's
    int bitRate = 0;   // bits per second; 0 with a quality
    VideoCodec codec = VideoCodec::Wmv2;
    int quality = 0;   // constant-quality (CRF) level, 0 for a bit rate
    QString preset {}; // the encoder's speed preset, empty for its default
    int maxWidth = 0;  // fit inside this box, keeping the display aspect
    int maxHeight = 0;
};

struct AudioSettings {
    int sampleRate = 0; // Hz; 0: the input's
    int channels = 0;   // 1 or 2; 0: the input's
    int bitRate = 0;    // bits per second; 0 for a lossless codec
    AudioCodec codec = AudioCodec::Wma2;
};

// How a job is encoded. A profile without video has neither a bit rate nor a
// quality for it; without audio, neither a bit rate nor a lossless codec.
struct ProfileSettings {
    QString name;
    QString description;
    VideoSettings video;
    AudioSettings audio;
    Container container = Container::Asf;

    bool hasVideo() const { return video.bitRate > 0 || video.quality > 0; }
    bool hasAudio() const { return audio.bitRate > 0 || audio.codec == AudioCodec::Flac; }

    // The extension a name made for this profile gets, with its dot:
    // ".wma"/".wmv" for Asf by the streams it has, else its container's.
    QString extension() const;
    // Whether an output named `path` can hold this profile's streams. Asf
    // profiles take any name, as they always have.
    bool acceptsOutput(const QString &path) const;
    // The extensions acceptsOutput() takes, for messages; empty for Asf.
    QStringList outputExtensions() const;
    // The muxer for an output named `path` (one acceptsOutput() took).
    const char *muxerFor(const QString &path) const;
    // Whether the container can carry the codecs chosen.
    bool codecsFitContainer() const;
};

// Why an output named `path` cannot take `profile`, naming both; empty when it can.
QString outputMismatch(const ProfileSettings &profile, const QString &path);

class EncoderProfile {
public:
    EncoderProfile() = default;
    explicit EncoderProfile(ProfileSettings settings) : m_settings(std::move(settings)) {}

    QString Name() const { return m_settings.name; }
    // Streams of the given media type (MediaAudio or MediaVideo): 0 or 1.
    int MediaCount(int mediaType) const;

    const ProfileSettings &settings() const { return m_settings; }

private:
    ProfileSettings m_settings;
};

// The installed profiles in enumeration order.
class ProfileCollection {
public:
    ProfileCollection() = default;
    explicit ProfileCollection(QList<EncoderProfile> profiles) : m_profiles(std::move(profiles)) {}

    int Count() const { return int(m_profiles.size()); }
    // 0-based; throws EncoderFailure(InvalidArgument) when out of range.
    const EncoderProfile &Item(int index) const;

    auto begin() const { return m_profiles.begin(); }
    auto end() const { return m_profiles.end(); }

private:
    QList<EncoderProfile> m_profiles;
};

} // namespace joblet
