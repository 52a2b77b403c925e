#pragma once

#include "SourceGroup.h"

#include <QString>

struct AVStream;

namespace joblet {

// Opens a media file and counts what an encode could use from it. Throws
// EncoderFailure: FileNotFound, AccessDenied or UnrecognisedMedia.
SourceInfo probeMediaFile(const QString &path);

// Throws UnsupportedFormat or UnsupportedChannelLayout, naming the value,
// when a stream declares what no real recording has: checked before the
// buffers sized from these values are allocated.
void checkPlausible(const AVStream *st, const QString &path);
void checkAudioFormat(int sampleRate, int channels, const QString &path);

// Maps an errno value met while opening or writing a file to an EngineError.
qint32 fileErrorNumber(int err, qint32 fallback);

} // namespace joblet
