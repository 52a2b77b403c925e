#include "EncodedLength.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/rational.h>
}

namespace joblet::transcode {

void giveDuration(AVPacket *pkt, const AVCodecContext *enc)
{
    if (pkt->duration > 0 || enc->codec_type != AVMEDIA_TYPE_VIDEO || enc->framerate.num <= 0
        || enc->framerate.den <= 0)
        return;
    pkt->duration = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(enc->framerate), enc->time_base));
}

bool cutShort(qint64 declaredUs, qint64 encodedUs, qint64 frameUs)
{
    return declaredUs > 0 && encodedUs + frameUs < declaredUs / 10 * 9;
}

} // namespace joblet::transcode
