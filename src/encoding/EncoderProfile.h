#pragma once

#include <QList>
#include <QString>

namespace joblet {

// Media types as the engine interface numbers them.
inline constexpr int MediaAudio = 1;
inline constexpr int MediaVideo = 2;

struct VideoSettings {
    int width = 0;
    int height = 0;
    int frameRate = 0; // frames per second, whole numbers only
    int bitRate = 0;   // bits per second
};

struct AudioSettings {
    int sampleRate = 0; // Hz
    int channels = 0;   // 1 or 2
    int bitRate = 0;    // bits per second
};

// How a job is encoded. A profile without video has video.bitRate == 0, and
// likewise for audio.
struct ProfileSettings {
    QString name;
    QString description;
    VideoSettings video;
    AudioSettings audio;

    bool hasVideo() const { return video.bitRate > 0; }
    bool hasAudio() const { return audio.bitRate > 0; }
};

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
