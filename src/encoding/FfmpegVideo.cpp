#include "FfmpegVideo.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cmath>

namespace joblet::transcode {

VideoConversion::VideoConversion(JobContext &job, const AVStream *in, int64_t origin, PictureFormat target)
    : m_job(job)
    , m_inTimeBase(in->time_base)
    , m_origin(origin)
    , m_target(target)
{
}

// Pictures that land on a slot already filled are dropped, short gaps are
// filled by repeating the previous picture; a picture more than a second
// ahead waits for the next one, and when that one is back on the pace the
// stamp ahead was damage and is stepped over. A jump further than a few
// seconds either way is a damaged timestamp: the timeline is closed up
// there, so the output never grows past the input's content and memory
// stays flat whatever the timestamps say.
void VideoConversion::convert(const AVFrame *in)
{
    int64_t slot = m_nextIndex;
    const int64_t ts = in->best_effort_timestamp != AV_NOPTS_VALUE ? in->best_effort_timestamp : in->pts;
    if (ts != AV_NOPTS_VALUE)
        slot = av_sat_sub64(av_rescale_q(av_sat_sub64(ts, m_origin), m_inTimeBase, m_target.timeBase), m_shift);
    const int64_t maxGap = av_rescale_q(MaxGapSeconds, {1, 1}, m_target.timeBase);
    if (slot > m_nextIndex + maxGap || slot < m_nextIndex - maxGap) {
        m_shift = av_sat_add64(m_shift, av_sat_sub64(slot, m_nextIndex));
        slot = m_nextIndex;
    }
    if (!m_last)
        slot = std::max<int64_t>(slot, 0);

    if (m_ahead) {
        if (slot < m_aheadSlot) {
            // Back on the pace: the stamp ahead was damage, not a gap. Its
            // picture takes the next slot, and the pictures after it theirs.
            const int64_t next = m_nextIndex;
            place(std::move(m_ahead), next);
        } else {
            place(std::move(m_ahead), m_aheadSlot); // the gap is real: fill it
        }
    }
    if (m_last && slot < m_nextIndex)
        return;
    ff::FramePtr out = scale(in);
    const int64_t aheadLimit = av_rescale_q(1, {1, 1}, m_target.timeBase);
    if (m_last && slot > m_nextIndex + aheadLimit) {
        m_ahead = std::move(out);
        m_aheadSlot = slot;
        return;
    }
    place(std::move(out), slot);
}

void VideoConversion::finish()
{
    // A lone last stamp far ahead: no freeze at the end for it either.
    if (m_ahead) {
        const int64_t next = m_nextIndex;
        place(std::move(m_ahead), next);
    }
}

void VideoConversion::place(ff::FramePtr picture, int64_t slot)
{
    if (m_last) {
        while (m_nextIndex < slot) {
            if (!push(m_last.get(), m_nextIndex++))
                return;
        }
    }
    m_last = std::move(picture);
    m_nextIndex = slot + 1;
    push(m_last.get(), slot);
}

ff::FramePtr VideoConversion::scale(const AVFrame *in)
{
    // Already what the encoder takes: a reference, not a copy.
    if (in->width == m_target.width && in->height == m_target.height && in->format == m_target.pixelFormat) {
        ff::FramePtr same(av_frame_clone(in));
        if (!same)
            throw std::bad_alloc();
        return same;
    }
    m_sws.reset(sws_getCachedContext(m_sws.release(), in->width, in->height, AVPixelFormat(in->format), m_target.width,
                                     m_target.height, m_target.pixelFormat, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!m_sws)
        fail(EngineError::DecodeFailed, QStringLiteral("%1: cannot convert %2x%3 %4 pictures")
                                            .arg(baseName(m_job.task.inputPath))
                                            .arg(in->width)
                                            .arg(in->height)
                                            .arg(QLatin1String(av_get_pix_fmt_name(AVPixelFormat(in->format)))));
    ff::FramePtr out(av_frame_alloc());
    if (!out)
        throw std::bad_alloc();
    out->format = m_target.pixelFormat;
    out->width = m_target.width;
    out->height = m_target.height;
    if (av_frame_get_buffer(out.get(), 0) < 0)
        throw std::bad_alloc();
    sws_scale(m_sws.get(), in->data, in->linesize, 0, in->height, out->data, out->linesize);
    return out;
}

bool VideoConversion::push(const AVFrame *picture, int64_t pts)
{
    ff::FramePtr f(av_frame_clone(picture));
    if (!f)
        throw std::bad_alloc();
    f->pts = pts;
    f->pict_type = AV_PICTURE_TYPE_NONE;
    return m_job.videoQueue.push(std::move(f));
}

namespace {

const char *encoderName(VideoCodec codec)
{
    switch (codec) {
    case VideoCodec::Wmv2: return "wmv2";
    case VideoCodec::H264: return "libx264";
    case VideoCodec::H265: return "libx265";
    case VideoCodec::Av1: return "libsvtav1";
    case VideoCodec::Vp9: return "libvpx-vp9";
    }
    return "wmv2";
}

// The input's pace; a variable-rate clip gets its average, and the frame
// grid keeps it in sync.
AVRational inputRate(const AVStream *in)
{
    for (const AVRational r : {in->avg_frame_rate, in->r_frame_rate}) {
        if (r.num > 0 && r.den > 0 && av_q2d(r) >= 1 && av_q2d(r) <= 120)
            return r;
    }
    return {25, 1};
}

} // namespace

FittedSize fitInside(int width, int height, AVRational sar, int maxWidth, int maxHeight)
{
    double w = width;
    if (sar.num > 0 && sar.den > 0)
        w = w * sar.num / sar.den;
    double scale = 1.0;
    if (maxWidth > 0 && w > maxWidth)
        scale = std::min(scale, maxWidth / w);
    if (maxHeight > 0 && height > maxHeight)
        scale = std::min(scale, double(maxHeight) / height);
    auto even = [](double v, int limit) {
        int n = 2 * int(std::lround(v / 2));
        if (limit > 0 && n > limit)
            n = limit & ~1;
        return std::max(2, n);
    };
    return {even(w * scale, maxWidth), even(height * scale, maxHeight)};
}

VideoEncoding::VideoEncoding(JobContext &job, OutputFile &out, const AVStream *in)
    : m_job(job)
    , m_output(out)
{
    const VideoSettings &p = job.task.profile.video;
    const AVCodec *codec = findEncoder(encoderName(p.codec));
    m_enc.reset(avcodec_alloc_context3(codec));
    if (!m_enc)
        throw std::bad_alloc();
    m_enc->pix_fmt = AV_PIX_FMT_YUV420P;
    m_enc->sample_aspect_ratio = {1, 1};
    if (p.codec == VideoCodec::Wmv2 || !in) {
        m_enc->width = p.width;
        m_enc->height = p.height;
        m_enc->time_base = {1, p.frameRate};
        m_enc->framerate = {p.frameRate, 1};
        m_enc->bit_rate = p.bitRate;
        return;
    }

    const AVCodecParameters *par = in->codecpar;
    const AVRational sar = par->sample_aspect_ratio.num > 0 ? par->sample_aspect_ratio : in->sample_aspect_ratio;
    const FittedSize size = fitInside(par->width, par->height, sar, p.maxWidth, p.maxHeight);
    m_enc->width = size.width;
    m_enc->height = size.height;
    m_enc->framerate = p.frameRate > 0 ? AVRational {p.frameRate, 1} : inputRate(in);
    m_enc->time_base = av_inv_q(m_enc->framerate);
    m_enc->color_primaries = par->color_primaries;
    m_enc->color_trc = par->color_trc;
    m_enc->colorspace = par->color_space;
    // The scaler writes limited range whatever came in.
    if (par->color_range != AVCOL_RANGE_UNSPECIFIED)
        m_enc->color_range = AVCOL_RANGE_MPEG;
    m_enc->thread_count = job.task.threads;

    AVDictionary **o = &m_options;
    const QByteArray quality = QByteArray::number(p.quality);
    const QByteArray preset = p.preset.toLatin1();
    m_enc->bit_rate = p.bitRate; // 0 with a quality: nothing to constrain it
    if (p.bitRate == 0)
        av_dict_set(o, "crf", quality.constData(), 0);
    switch (p.codec) {
    case VideoCodec::H264:
    case VideoCodec::H265:
        if (!preset.isEmpty())
            av_dict_set(o, "preset", preset.constData(), 0);
        // x265 sizes its thread pool itself; thread_count does not reach it.
        if (p.codec == VideoCodec::H265)
            av_dict_set(o, "x265-params",
                        job.task.threads > 0 ? QByteArray("log-level=error:pools=" + QByteArray::number(job.task.threads)).constData()
                                             : "log-level=error",
                        0);
        break;
    case VideoCodec::Av1:
        if (!preset.isEmpty())
            av_dict_set(o, "preset", preset.constData(), 0);
        if (job.task.threads > 0)
            av_dict_set(o, "svtav1-params", QByteArray("lp=" + QByteArray::number(job.task.threads)).constData(), 0);
        break;
    case VideoCodec::Vp9:
        av_dict_set(o, "row-mt", "1", 0);
        if (!preset.isEmpty())
            av_dict_set(o, "cpu-used", preset.constData(), 0);
        break;
    case VideoCodec::Wmv2: break;
    }
}

VideoEncoding::~VideoEncoding()
{
    av_dict_free(&m_options);
}

void VideoEncoding::attach()
{
    m_stream = m_output.addStream(m_enc.get(), "video", &m_options);
}

PictureFormat VideoEncoding::format() const
{
    return {m_enc->width, m_enc->height, m_enc->pix_fmt, m_enc->time_base};
}

void VideoEncoding::run()
{
    ff::PacketPtr pkt(av_packet_alloc());
    if (!pkt)
        throw std::bad_alloc();
    while (std::optional<ff::FramePtr> picture = m_job.videoQueue.pop()) {
        encodeInto(m_output, m_enc.get(), m_stream, picture->get(), pkt.get(), "video");
        ++m_job.counters->videoFrames;
    }
    if (!m_job.aborted())
        encodeInto(m_output, m_enc.get(), m_stream, nullptr, pkt.get(), "video");
}

} // namespace joblet::transcode
