#pragma once

#include <QtGlobal>

struct AVCodecContext;
struct AVPacket;

namespace joblet::transcode {

// A packet whose encoder left its duration out (wmv2 does for every
// picture) lasts one frame period; without it every length counted from
// packet ends is one frame short. `pkt` is in the encoder's time base.
void giveDuration(AVPacket *pkt, const AVCodecContext *enc);

// Whether a finished job encoded clearly less than the input declares: under
// 90 %, after allowing one output frame (`frameUs`, 0 without video) for the
// rounding of a short input onto the output's frame grid.
bool cutShort(qint64 declaredUs, qint64 encodedUs, qint64 frameUs);

} // namespace joblet::transcode
