#pragma once

#include <QString>

#include <optional>

namespace joblet {

struct ProfileSettings;

// The figures the progress page shows, apart from its widgets so they can be
// checked without a clock.
namespace ProgressFigures {

// "h:mm:ss"; negative counts as 0.
QString clockText(qint64 ms);
// Whole percent done, or nothing when the duration is unknown.
std::optional<int> percentDone(qint64 encodedUs, qint64 durationUs);
// "Video 320×240, 30 fps, 512 kb/s; Audio 44.1 kHz stereo, 64 kb/s".
QString streamsText(const ProfileSettings &profile);

} // namespace ProgressFigures

} // namespace joblet
