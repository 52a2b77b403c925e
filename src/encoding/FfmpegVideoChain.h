#pragma once

// How a source picture becomes what a profile's encoder takes: one filter
// chain, worked out from the stream and the profile before anything is
// decoded, so that it can be checked without encoding.

#include "EncoderProfile.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

#include <QString>

struct AVStream;
struct AVFrame;
struct AVCodec;

namespace joblet::transcode {

struct VideoSource {
    int width = 0;
    int height = 0;
    AVRational sar {0, 1};
    int rotation = 0;          // degrees clockwise that turn it upright: 0, 90, 180 or 270
    bool interlaced = false;   // by the stream's field order or its first picture
    bool topFieldFirst = true;
    bool hdr = false;          // PQ or HLG transfer
    bool hlg = false;
    int bitDepth = 8;
};

// `first` is the stream's first decoded picture, or null.
VideoSource describeSource(const AVStream *st, const AVFrame *first);

struct VideoPlan {
    int width = 0;
    int height = 0;
    AVPixelFormat pixelFormat = AV_PIX_FMT_YUV420P;
    bool keepsHdr = false;  // 10 bits, the source's colours and its mastering data
    bool toneMapped = false; // an HDR source brought down to 8-bit BT.709
    QString filters;         // for avfilter_graph_parse_ptr, between buffer and sink
};

// `encoder` tells whether 10-bit output is possible; null for the plan of
// an encoder not at hand (tests).
VideoPlan planVideo(const VideoSource &source, const VideoSettings &profile, const AVCodec *encoder);

// The size a picture of `width`x`height` with sample aspect `sar` gets when
// fitted inside `maxWidth`x`maxHeight` (0: unbounded) with square pixels:
// display aspect kept, never enlarged, both sides even, rounded down.
struct FittedSize {
    int width = 0;
    int height = 0;
};
FittedSize fitInside(int width, int height, AVRational sar, int maxWidth, int maxHeight);

// The smallest picture side `codec`'s encoder opens with.
int minimumSide(VideoCodec codec);

} // namespace joblet::transcode
