#pragma once

#include "encoding/EncoderProfile.h"

#include <QStringList>

// Built-in profile names by kind, and short-hand profiles, for the tests of
// the profile rules and of the dialog that shows them.
namespace joblet::test {

inline const QStringList AudioVideo = {"Qimto Clipwright 320X240", "Qimto Clipwright 640X480",
                                "Qimto Clipwright 176X144"};
inline const QStringList AudioOnly = {"Qimto Audio 128K Stereo", "Qimto Audio 64K Stereo",
                               "Qimto Audio 32K Mono"};
inline const QString VideoOnly = "Qimto Video Only 320X240";
// After the seven above, in this order.
inline const QStringList ModernVideo = {"MP4 H.264 1080p", "MP4 H.264 720p", "MP4 H.265 1080p", "WebM AV1 1080p",
                                        "WebM VP9 720p"};
inline const QStringList ModernAudio = {"Audio AAC 192 kbps", "Audio Opus 128 kbps", "Audio FLAC lossless",
                                        "Audio MP3 192 kbps"};

// "Name:AV", "Name:A" or "Name:V": a profile with those streams.
inline joblet::ProfileSettings profile(const QString &entry)
{
    const QString kinds = entry.section(':', -1);
    joblet::ProfileSettings p;
    p.name = entry.section(':', 0, -2);
    if (kinds.contains('V'))
        p.video = {320, 240, 30, 512000};
    if (kinds.contains('A'))
        p.audio = {44100, 2, 64000};
    return p;
}

} // namespace joblet::test
