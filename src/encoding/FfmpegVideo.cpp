#include "FfmpegVideo.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/pixdesc.h>
}

#include <cmath>
#include <cstring>

namespace joblet::transcode {

VideoConversion::VideoConversion(JobContext &job, const AVStream *in, int64_t origin, PictureFormat target,
                                 VideoSource source, VideoPlan plan)
    : m_job(job)
    , m_inTimeBase(in->time_base)
    , m_origin(origin)
    , m_target(target)
    , m_source(source)
    , m_plan(std::move(plan))
    , m_filtered(av_frame_alloc())
{
    if (!m_filtered)
        throw std::bad_alloc();
}

void VideoConversion::buildGraph(const AVFrame *first)
{
    const QString input = baseName(m_job.task.inputPath);
    auto refuse = [&](int err) {
        fail(EngineError::DecodeFailed, QStringLiteral("%1: cannot convert %2x%3 %4 pictures: %5")
                                            .arg(input)
                                            .arg(first->width)
                                            .arg(first->height)
                                            .arg(QLatin1String(av_get_pix_fmt_name(AVPixelFormat(first->format))),
                                                 ff::errorText(err)));
    };
    m_graph.reset(avfilter_graph_alloc());
    if (!m_graph)
        throw std::bad_alloc();
    const AVRational sar = first->sample_aspect_ratio.num > 0 ? first->sample_aspect_ratio : AVRational {1, 1};
    const QByteArray args = QStringLiteral("video_size=%1x%2:pix_fmt=%3:time_base=%4/%5:pixel_aspect=%6/%7")
                                .arg(first->width)
                                .arg(first->height)
                                .arg(first->format)
                                .arg(m_inTimeBase.num)
                                .arg(m_inTimeBase.den)
                                .arg(sar.num)
                                .arg(sar.den)
                                .toLatin1();
    int ret = avfilter_graph_create_filter(&m_feed, avfilter_get_by_name("buffer"), "in", args.constData(), nullptr,
                                           m_graph.get());
    if (ret >= 0)
        ret = avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                           m_graph.get());
    if (ret < 0)
        refuse(ret);
    AVFilterInOut *outputs = avfilter_inout_alloc();
    AVFilterInOut *inputs = avfilter_inout_alloc();
    if (!outputs || !inputs) {
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        throw std::bad_alloc();
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = m_feed;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = m_sink;
    const QByteArray filters = m_plan.filters.toLatin1();
    ret = avfilter_graph_parse_ptr(m_graph.get(), filters.constData(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&outputs);
    avfilter_inout_free(&inputs);
    if (ret >= 0)
        ret = avfilter_graph_config(m_graph.get(), nullptr);
    if (ret < 0)
        refuse(ret);
    m_sinkTimeBase = av_buffersink_get_time_base(m_sink);
    m_graphWidth = first->width;
    m_graphHeight = first->height;
    m_graphFormat = first->format;
}

void VideoConversion::convert(const AVFrame *in)
{
    if (m_graph && (in->width != m_graphWidth || in->height != m_graphHeight || in->format != m_graphFormat)) {
        // A new picture size mid-stream: what the old chain holds goes out
        // first, then a chain for the new one.
        drainGraph();
        m_graph.reset();
    }
    if (!m_graph)
        buildGraph(in);
    ff::FramePtr copy(av_frame_clone(in));
    if (!copy)
        throw std::bad_alloc();
    copy->pts = in->best_effort_timestamp != AV_NOPTS_VALUE ? in->best_effort_timestamp : in->pts;
    const int ret = av_buffersrc_add_frame_flags(m_feed, copy.get(), 0);
    if (ret < 0)
        fail(EngineError::DecodeFailed, QStringLiteral("%1: %2").arg(baseName(m_job.task.inputPath), ff::errorText(ret)));
    pull();
}

void VideoConversion::drainGraph()
{
    // Closing the feed cannot fail in a way that loses more than it would.
    if (av_buffersrc_add_frame(m_feed, nullptr) >= 0)
        pull();
}

void VideoConversion::pull()
{
    for (;;) {
        const int ret = av_buffersink_get_frame(m_sink, m_filtered.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return;
        if (ret < 0)
            fail(EngineError::DecodeFailed,
                 QStringLiteral("%1: %2").arg(baseName(m_job.task.inputPath), ff::errorText(ret)));
        stamp(m_filtered.get());
        av_frame_unref(m_filtered.get());
        if (m_job.aborted())
            return;
    }
}

// Pictures that land on a slot already filled are dropped; on a constant
// grid short gaps are filled by repeating the previous picture, while a
// picture with its own timestamps keeps them. A picture more than a second
// ahead waits for the next one, and when that one is back on the pace the
// stamp ahead was damage and is stepped over. A jump further than a few
// seconds either way is a damaged timestamp: the timeline is closed up
// there, so the output never grows past the input's content and memory
// stays flat whatever the timestamps say.
void VideoConversion::stamp(const AVFrame *filtered)
{
    int64_t slot = m_nextIndex;
    const int64_t ts = filtered->pts;
    if (ts != AV_NOPTS_VALUE)
        slot = av_sat_sub64(av_rescale_q(av_sat_sub64(ts, av_rescale_q(m_origin, m_inTimeBase, m_sinkTimeBase)),
                                         m_sinkTimeBase, m_target.timeBase),
                            m_shift);
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
    ff::FramePtr out(av_frame_clone(filtered));
    if (!out)
        throw std::bad_alloc();
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
    if (m_graph)
        drainGraph();
    // A lone last stamp far ahead: no freeze at the end for it either.
    if (m_ahead) {
        const int64_t next = m_nextIndex;
        place(std::move(m_ahead), next);
    }
}

void VideoConversion::place(ff::FramePtr picture, int64_t slot)
{
    if (m_last && m_target.constantRate) {
        while (m_nextIndex < slot) {
            if (!push(m_last.get(), m_nextIndex++))
                return;
        }
    }
    m_last = std::move(picture);
    m_nextIndex = slot + 1;
    push(m_last.get(), slot);
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

namespace {

// x265 counts chromaticity in 1/50000 and light in 1/10000 cd/m².
QByteArray x265Mastering(const AVMasteringDisplayMetadata &m)
{
    auto c = [](AVRational v) { return QByteArray::number(qint64(std::lround(av_q2d(v) * 50000))); };
    auto l = [](AVRational v) { return QByteArray::number(qint64(std::lround(av_q2d(v) * 10000))); };
    const AVRational(*p)[2] = m.display_primaries; // red, green, blue
    return "G(" + c(p[1][0]) + ',' + c(p[1][1]) + ")B(" + c(p[2][0]) + ',' + c(p[2][1]) + ")R(" + c(p[0][0]) + ','
        + c(p[0][1]) + ")WP(" + c(m.white_point[0]) + ',' + c(m.white_point[1]) + ")L(" + l(m.max_luminance) + ','
        + l(m.min_luminance) + ')';
}

// SVT-AV1 takes the same figures as plain numbers.
QByteArray svtMastering(const AVMasteringDisplayMetadata &m)
{
    auto n = [](AVRational v) { return QByteArray::number(av_q2d(v), 'f', 5); };
    const AVRational(*p)[2] = m.display_primaries;
    return "G(" + n(p[1][0]) + ',' + n(p[1][1]) + ")B(" + n(p[2][0]) + ',' + n(p[2][1]) + ")R(" + n(p[0][0]) + ','
        + n(p[0][1]) + ")WP(" + n(m.white_point[0]) + ',' + n(m.white_point[1]) + ")L(" + n(m.max_luminance) + ','
        + n(m.min_luminance) + ')';
}

// The input's time base when it counts at least milliseconds, so that a
// variable-rate picture keeps its own stamp.
AVRational passThroughTimeBase(const AVStream *in)
{
    const AVRational tb = in->time_base;
    if (tb.num > 0 && tb.den > 0 && av_cmp_q(tb, {1, 1000}) <= 0 && av_cmp_q(tb, {1, 10000000}) >= 0)
        return tb;
    return {1, 90000};
}

} // namespace

VideoEncoding::VideoEncoding(JobContext &job, OutputFile &out, const AVStream *in, const AVFrame *first)
    : m_job(job)
    , m_output(out)
{
    const VideoSettings &p = job.task.profile.video;
    const AVCodec *codec = findEncoder(encoderName(p.codec));
    m_enc.reset(avcodec_alloc_context3(codec));
    if (!m_enc)
        throw std::bad_alloc();
    m_source = describeSource(in, first);
    m_plan = planVideo(m_source, p, codec);
    const int least = minimumSide(p.codec);
    if (m_plan.width < least || m_plan.height < least)
        fail(EngineError::PictureTooSmall, QStringLiteral("%1: %2x%3; this encoder needs at least %4x%4")
                                               .arg(baseName(job.task.inputPath))
                                               .arg(m_plan.width)
                                               .arg(m_plan.height)
                                               .arg(least));
    m_enc->width = m_plan.width;
    m_enc->height = m_plan.height;
    m_enc->pix_fmt = m_plan.pixelFormat;
    m_enc->sample_aspect_ratio = {1, 1};
    // The chain weaves fields into whole frames.
    m_enc->field_order = AV_FIELD_PROGRESSIVE;
    if (p.frameRate > 0) {
        m_enc->time_base = {1, p.frameRate};
        m_enc->framerate = {p.frameRate, 1};
    } else {
        m_enc->framerate = inputRate(in);
        m_enc->time_base = passThroughTimeBase(in);
    }
    if (p.codec == VideoCodec::Wmv2) {
        m_enc->bit_rate = p.bitRate;
        return;
    }

    const AVCodecParameters *par = in->codecpar;
    if (m_plan.toneMapped) {
        m_enc->color_primaries = AVCOL_PRI_BT709;
        m_enc->color_trc = AVCOL_TRC_BT709;
        m_enc->colorspace = AVCOL_SPC_BT709;
    } else {
        m_enc->color_primaries = par->color_primaries;
        m_enc->color_trc = par->color_trc;
        m_enc->colorspace = par->color_space;
    }
    // The chain writes limited range whatever came in.
    if (par->color_range != AVCOL_RANGE_UNSPECIFIED || m_plan.toneMapped)
        m_enc->color_range = AVCOL_RANGE_MPEG;
    m_enc->thread_count = job.task.threads;

    QByteArray x265Hdr;
    QByteArray svtHdr;
    if (m_plan.keepsHdr) {
        // The container's copy if it has one, else the one the pictures carry.
        auto find = [&](AVPacketSideDataType streamType, AVFrameSideDataType frameType, size_t minimum) -> QByteArray {
            size_t size = 0;
            if (const uint8_t *d = av_stream_get_side_data(in, streamType, &size); d && size >= minimum)
                return QByteArray(reinterpret_cast<const char *>(d), qsizetype(size));
            if (const AVFrameSideData *f = first ? av_frame_get_side_data(first, frameType) : nullptr;
                f && f->size >= minimum)
                return QByteArray(reinterpret_cast<const char *>(f->data), qsizetype(f->size));
            return {};
        };
        const QByteArray mastering = find(AV_PKT_DATA_MASTERING_DISPLAY_METADATA,
                                          AV_FRAME_DATA_MASTERING_DISPLAY_METADATA, sizeof(AVMasteringDisplayMetadata));
        if (!mastering.isEmpty()) {
            m_hdrSideData.emplace_back(AV_PKT_DATA_MASTERING_DISPLAY_METADATA, mastering);
            const auto *m = reinterpret_cast<const AVMasteringDisplayMetadata *>(mastering.constData());
            if (m->has_primaries && m->has_luminance) {
                x265Hdr += ":master-display=" + x265Mastering(*m);
                svtHdr += ":mastering-display=" + svtMastering(*m);
            }
        }
        const QByteArray light = find(AV_PKT_DATA_CONTENT_LIGHT_LEVEL, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL,
                                      sizeof(AVContentLightMetadata));
        if (!light.isEmpty()) {
            m_hdrSideData.emplace_back(AV_PKT_DATA_CONTENT_LIGHT_LEVEL, light);
            const auto *l = reinterpret_cast<const AVContentLightMetadata *>(light.constData());
            const QByteArray levels = QByteArray::number(l->MaxCLL) + ',' + QByteArray::number(l->MaxFALL);
            x265Hdr += ":max-cll=" + levels;
            svtHdr += ":content-light=" + levels;
        }
        if (!x265Hdr.isEmpty())
            x265Hdr += ":hdr10=1:repeat-headers=1";
    }

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
        if (p.codec == VideoCodec::H265) {
            QByteArray params = "log-level=error";
            if (job.task.threads > 0)
                params += ":pools=" + QByteArray::number(job.task.threads);
            av_dict_set(o, "x265-params", (params + x265Hdr).constData(), 0);
        }
        break;
    case VideoCodec::Av1: {
        if (!preset.isEmpty())
            av_dict_set(o, "preset", preset.constData(), 0);
        QByteArray params;
        if (job.task.threads > 0)
            params += ":lp=" + QByteArray::number(job.task.threads);
        params += svtHdr;
        if (!params.isEmpty())
            av_dict_set(o, "svtav1-params", params.mid(1).constData(), 0);
        break;
    }
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
    // Matroska players skip a track not flagged default when choosing one.
    m_stream->disposition = AV_DISPOSITION_DEFAULT;
    // The container's copy is what players read first.
    for (const auto &[type, data] : m_hdrSideData) {
        uint8_t *d = av_stream_new_side_data(m_stream, type, size_t(data.size()));
        if (!d)
            throw std::bad_alloc();
        memcpy(d, data.constData(), size_t(data.size()));
    }
}

PictureFormat VideoEncoding::format() const
{
    return {m_enc->width, m_enc->height, m_enc->pix_fmt, m_enc->time_base, m_job.task.profile.video.frameRate > 0};
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
