#include "ProfileCatalogue.h"

// The profiles every copy of Joblet offers, before any of the users' own.

namespace joblet {

namespace {

ProfileSettings makeProfile(const char *name, const char *description, VideoSettings video,
                            AudioSettings audio)
{
    ProfileSettings p;
    p.name = QString::fromLatin1(name);
    p.description = QString::fromLatin1(description);
    p.video = video;
    p.audio = audio;
    return p;
}

ProfileSettings modernProfile(const char *name, const char *description, Container container, VideoSettings video,
                              AudioSettings audio)
{
    ProfileSettings p = makeProfile(name, description, video, audio);
    p.container = container;
    return p;
}

VideoSettings videoOf(VideoCodec codec, int quality, const char *preset, int maxWidth, int maxHeight)
{
    VideoSettings v;
    v.codec = codec;
    v.quality = quality;
    v.preset = QString::fromLatin1(preset);
    v.maxWidth = maxWidth;
    v.maxHeight = maxHeight;
    return v;
}

AudioSettings audioOf(AudioCodec codec, int bitRate, int channels)
{
    AudioSettings a;
    a.codec = codec;
    a.bitRate = bitRate;
    a.channels = channels;
    return a;
}

} // namespace

QList<ProfileSettings> ProfileCatalogue::builtIn()
{
    return {
        makeProfile("Qimto Clipwright 320X240", "Video for the web at 320x240, stereo sound.",
                    {320, 240, 30, 512000}, {44100, 2, 64000}),
        makeProfile("Qimto Clipwright 640X480", "Full-screen video at 640x480, stereo sound.",
                    {640, 480, 30, 1500000}, {44100, 2, 128000}),
        makeProfile("Qimto Clipwright 176X144", "Small video for phones at 176x144, mono sound.",
                    {176, 144, 15, 160000}, {22050, 1, 32000}),
        makeProfile("Qimto Audio 128K Stereo", "Near-CD quality stereo audio.", {},
                    {44100, 2, 128000}),
        makeProfile("Qimto Audio 64K Stereo", "Stereo audio for streaming.", {}, {44100, 2, 64000}),
        makeProfile("Qimto Audio 32K Mono", "Mono speech audio.", {}, {22050, 1, 32000}),
        makeProfile("Qimto Video Only 320X240", "Video at 320x240 without sound.",
                    {320, 240, 30, 512000}, {}),
        modernProfile("MP4 H.264 1080p", "H.264 in MP4 up to 1920x1080, AAC stereo: plays everywhere.",
                      Container::Mp4, videoOf(VideoCodec::H264, 22, "fast", 1920, 1080),
                      audioOf(AudioCodec::Aac, 160000, 2)),
        modernProfile("MP4 H.264 720p", "H.264 in MP4 up to 1280x720, AAC stereo.", Container::Mp4,
                      videoOf(VideoCodec::H264, 21, "fast", 1280, 720), audioOf(AudioCodec::Aac, 160000, 2)),
        modernProfile("MP4 H.265 1080p", "H.265 in MP4 up to 1920x1080, AAC stereo: half the size of H.264.",
                      Container::Mp4, videoOf(VideoCodec::H265, 24, "fast", 1920, 1080),
                      audioOf(AudioCodec::Aac, 160000, 2)),
        modernProfile("WebM AV1 1080p", "AV1 in WebM up to 1920x1080, Opus sound.", Container::WebM,
                      videoOf(VideoCodec::Av1, 35, "8", 1920, 1080), audioOf(AudioCodec::Opus, 128000, 2)),
        modernProfile("WebM VP9 720p", "VP9 in WebM up to 1280x720, Opus sound.", Container::WebM,
                      videoOf(VideoCodec::Vp9, 32, "4", 1280, 720), audioOf(AudioCodec::Opus, 128000, 2)),
        modernProfile("Audio AAC 192 kbps", "AAC stereo in MP4 audio (.m4a).", Container::Mp4, {},
                      audioOf(AudioCodec::Aac, 192000, 2)),
        modernProfile("Audio Opus 128 kbps", "Opus in Ogg (.opus).", Container::Ogg, {},
                      audioOf(AudioCodec::Opus, 128000, 2)),
        modernProfile("Audio FLAC lossless", "FLAC at the input's sample rate and channels.", Container::Flac, {},
                      audioOf(AudioCodec::Flac, 0, 0)),
        modernProfile("Audio MP3 192 kbps", "MP3 stereo at a constant 192 kbps.", Container::Mp3, {},
                      audioOf(AudioCodec::Mp3, 192000, 2)),
    };
}

} // namespace joblet
