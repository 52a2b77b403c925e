#pragma once

#include "SourceGroup.h"

#include <QString>

namespace joblet {

// Opens a media file and counts what an encode could use from it. Throws
// EncoderFailure: FileNotFound, AccessDenied or UnrecognisedMedia.
SourceInfo probeMediaFile(const QString &path);

// Maps an errno value met while opening or writing a file to an EngineError.
qint32 fileErrorNumber(int err, qint32 fallback);

} // namespace joblet
