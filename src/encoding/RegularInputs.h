#pragma once

#include <QString>

namespace joblet {

// Throws EncoderFailure(NotRegularFile) when `input` or `output` exists and
// is a pipe, a device, a folder or a socket: the engine would wait on a pipe
// for ever, read a device without end, or replace a device node with a
// file. Empty paths and missing files pass; their own checks report them.
void refuseNonRegular(const QString &input, const QString &output);

} // namespace joblet
