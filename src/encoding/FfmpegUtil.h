#pragma once

// Small RAII wrappers and helpers shared by the probe and the transcoder.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavfilter/avfilter.h>
#include <libavutil/error.h>
}

#include <QString>

#include <memory>

namespace joblet::ff {

struct InputDeleter {
    void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
};
struct CodecDeleter {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct FilterGraphDeleter {
    void operator()(AVFilterGraph *g) const { avfilter_graph_free(&g); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;

inline QString errorText(int err)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return QString::fromLocal8Bit(buf);
}

// Cover art is stored as a one-packet video stream; it is not video to us.
inline bool isRealVideo(const AVStream *st)
{
    return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO
        && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

} // namespace joblet::ff
