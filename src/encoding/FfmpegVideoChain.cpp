#include "FfmpegVideoChain.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <utility>

namespace joblet::transcode {

namespace {

int rotationOf(const AVStream *st)
{
    size_t size = 0;
    const uint8_t *matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t))
        return 0;
    const double ccw = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
    if (std::isnan(ccw))
        return 0;
    // Players turn by the nearest quarter; so do we.
    const int quarters = int(std::lround(-ccw / 90.0));
    return ((quarters % 4) + 4) % 4 * 90;
}

bool interlacedOrder(AVFieldOrder order)
{
    return order == AV_FIELD_TT || order == AV_FIELD_BB || order == AV_FIELD_TB || order == AV_FIELD_BT;
}

bool supports(const AVCodec *encoder, AVPixelFormat format)
{
    if (!encoder || !encoder->pix_fmts)
        return false;
    for (const AVPixelFormat *f = encoder->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
        if (*f == format)
            return true;
    }
    return false;
}

bool keepsHighDepth(VideoCodec codec)
{
    return codec == VideoCodec::H265 || codec == VideoCodec::Av1 || codec == VideoCodec::Vp9;
}

int evenDown(double v, int limit)
{
    // A hair of slack so that 1920 * 2/3 is 1280, not 1279.99.
    int n = int(std::floor(v + 1e-6)) & ~1;
    if (limit > 0)
        n = std::min(n, limit & ~1);
    return std::max(2, n);
}

FittedSize fitDisplay(double width, double height, int maxWidth, int maxHeight)
{
    double scale = 1.0;
    if (maxWidth > 0 && width > maxWidth)
        scale = std::min(scale, maxWidth / width);
    if (maxHeight > 0 && height > maxHeight)
        scale = std::min(scale, maxHeight / height);
    return {evenDown(width * scale, maxWidth), evenDown(height * scale, maxHeight)};
}

} // namespace

VideoSource describeSource(const AVStream *st, const AVFrame *first)
{
    const AVCodecParameters *par = st->codecpar;
    VideoSource s;
    s.width = par->width;
    s.height = par->height;
    s.sar = par->sample_aspect_ratio.num > 0 ? par->sample_aspect_ratio : st->sample_aspect_ratio;
    s.rotation = rotationOf(st);
    s.interlaced = interlacedOrder(par->field_order);
    s.topFieldFirst = par->field_order != AV_FIELD_BB && par->field_order != AV_FIELD_BT;
    // A stream that says nothing of its fields may still carry woven ones.
    if (first && !s.interlaced && first->interlaced_frame) {
        s.interlaced = true;
        s.topFieldFirst = first->top_field_first;
    }
    AVColorTransferCharacteristic trc = par->color_trc;
    if (first && trc == AVCOL_TRC_UNSPECIFIED)
        trc = first->color_trc;
    s.hdr = trc == AVCOL_TRC_SMPTE2084 || trc == AVCOL_TRC_ARIB_STD_B67;
    s.hlg = trc == AVCOL_TRC_ARIB_STD_B67;
    const int format = first ? first->format : par->format;
    if (const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(AVPixelFormat(format)))
        s.bitDepth = d->comp[0].depth;
    return s;
}

FittedSize fitInside(int width, int height, AVRational sar, int maxWidth, int maxHeight)
{
    double w = width;
    if (sar.num > 0 && sar.den > 0)
        w = w * sar.num / sar.den;
    return fitDisplay(w, height, maxWidth, maxHeight);
}

int minimumSide(VideoCodec codec)
{
    switch (codec) {
    case VideoCodec::H265: return 16;
    case VideoCodec::Av1: return 64;
    default: return 2;
    }
}

VideoPlan planVideo(const VideoSource &source, const VideoSettings &profile, const AVCodec *encoder)
{
    VideoPlan plan;
    const bool sideways = source.rotation == 90 || source.rotation == 270;
    double w = std::max(1, source.width);
    if (source.sar.num > 0 && source.sar.den > 0)
        w = w * source.sar.num / source.sar.den;
    double h = std::max(1, source.height);
    if (sideways)
        std::swap(w, h);
    FittedSize picture;
    const bool exact = profile.width > 0 && profile.height > 0;
    if (exact) {
        // A frame of fixed size: the picture fills it as far as its aspect
        // allows, and bars fill the rest rather than stretching it.
        const double scale = std::min(profile.width / w, profile.height / h);
        picture = {evenDown(w * scale, profile.width), evenDown(h * scale, profile.height)};
        plan.width = profile.width;
        plan.height = profile.height;
    } else {
        picture = fitDisplay(w, h, profile.maxWidth, profile.maxHeight);
        plan.width = picture.width;
        plan.height = picture.height;
    }

    const AVPixelFormat deep = AV_PIX_FMT_YUV420P10LE;
    if (source.hdr && source.bitDepth > 8 && keepsHighDepth(profile.codec) && (supports(encoder, deep) || !encoder)) {
        plan.keepsHdr = true;
        plan.pixelFormat = deep;
    } else {
        plan.toneMapped = source.hdr;
    }

    QStringList chain;
    // Fields are woven into frames by the deinterlacer before anything
    // moves a line; one frame out for each frame in keeps the count.
    if (source.interlaced)
        chain << QStringLiteral("bwdif=mode=send_frame:parity=%1:deint=all").arg(source.topFieldFirst ? "tff" : "bff");
    // Scaled before it is turned: the smaller picture is the cheaper one.
    const int scaledWidth = sideways ? picture.height : picture.width;
    const int scaledHeight = sideways ? picture.width : picture.height;
    chain << QStringLiteral("scale=%1:%2:flags=bicubic:out_range=tv").arg(scaledWidth).arg(scaledHeight);
    switch (source.rotation) {
    case 90: chain << QStringLiteral("transpose=clock"); break;
    case 180: chain << QStringLiteral("hflip") << QStringLiteral("vflip"); break;
    case 270: chain << QStringLiteral("transpose=cclock"); break;
    default: break;
    }
    if (picture.width != plan.width || picture.height != plan.height)
        chain << QStringLiteral("pad=%1:%2:-1:-1").arg(plan.width).arg(plan.height);
    chain << QStringLiteral("setsar=1");
    if (plan.toneMapped) {
        // Into linear light, Hable's curve in BT.709 primaries, back to
        // limited-range BT.709: the usual way down from PQ or HLG.
        chain << QStringLiteral("zscale=tin=%1:min=bt2020nc:pin=bt2020:t=linear:npl=100")
                     .arg(source.hlg ? "arib-std-b67" : "smpte2084")
              << QStringLiteral("format=gbrpf32le") << QStringLiteral("zscale=p=bt709")
              << QStringLiteral("tonemap=tonemap=hable:desat=0") << QStringLiteral("zscale=t=bt709:m=bt709:r=tv");
    }
    chain << QStringLiteral("format=%1").arg(QLatin1String(av_get_pix_fmt_name(plan.pixelFormat)));
    plan.filters = chain.join(u',');
    return plan;
}

} // namespace joblet::transcode
