#include "FfmpegVideo.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

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

VideoEncoding::VideoEncoding(JobContext &job, OutputFile &out)
    : m_job(job)
    , m_output(out)
{
    const VideoSettings &p = job.task.profile.video;
    const AVCodec *codec = findEncoder("wmv2");
    m_enc.reset(avcodec_alloc_context3(codec));
    if (!m_enc)
        throw std::bad_alloc();
    m_enc->width = p.width;
    m_enc->height = p.height;
    m_enc->pix_fmt = AV_PIX_FMT_YUV420P;
    m_enc->time_base = {1, p.frameRate};
    m_enc->framerate = {p.frameRate, 1};
    m_enc->bit_rate = p.bitRate;
    m_enc->sample_aspect_ratio = {1, 1};
}

void VideoEncoding::attach()
{
    m_stream = m_output.addStream(m_enc.get(), "video");
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
