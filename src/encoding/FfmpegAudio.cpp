#include "FfmpegAudio.h"

#include "FfmpegProbe.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace joblet::transcode {

namespace {

const char *encoderName(AudioCodec codec)
{
    switch (codec) {
    case AudioCodec::Wma2: return "wmav2";
    case AudioCodec::Aac: return "aac";
    case AudioCodec::Opus: return "libopus";
    case AudioCodec::Flac: return "flac";
    case AudioCodec::Mp3: return "libmp3lame";
    }
    return "wmav2";
}

// The input's rate where the encoder takes it, else the nearest above
// (Opus has no 44.1 kHz), else its highest.
int supportedRate(const AVCodec *codec, int rate)
{
    const int *rates = codec->supported_samplerates;
    if (!rates)
        return rate;
    int above = 0;
    int highest = 0;
    for (; *rates; ++rates) {
        if (*rates == rate)
            return rate;
        if (*rates > rate && (above == 0 || *rates < above))
            above = *rates;
        highest = std::max(highest, *rates);
    }
    return above > 0 ? above : highest;
}

using Matrix = std::vector<std::vector<double>>; // [output][input]

enum class Side { Left, Right, Both, Dropped };

struct Placement {
    Side side;
    double gain;
};

constexpr double MinusThreeDb = 0.70710678118654752;

// Where a channel goes in stereo: the front pair at full gain, centre and
// surround at -3 dB, low-frequency effects nowhere.
Placement place(AVChannel ch)
{
    switch (ch) {
    case AV_CHAN_FRONT_LEFT:
    case AV_CHAN_STEREO_LEFT:
        return {Side::Left, 1.0};
    case AV_CHAN_FRONT_RIGHT:
    case AV_CHAN_STEREO_RIGHT:
        return {Side::Right, 1.0};
    case AV_CHAN_LOW_FREQUENCY:
    case AV_CHAN_LOW_FREQUENCY_2:
        return {Side::Dropped, 0.0};
    case AV_CHAN_FRONT_LEFT_OF_CENTER:
    case AV_CHAN_BACK_LEFT:
    case AV_CHAN_SIDE_LEFT:
    case AV_CHAN_TOP_FRONT_LEFT:
    case AV_CHAN_TOP_BACK_LEFT:
    case AV_CHAN_WIDE_LEFT:
    case AV_CHAN_SURROUND_DIRECT_LEFT:
    case AV_CHAN_TOP_SIDE_LEFT:
    case AV_CHAN_BOTTOM_FRONT_LEFT:
        return {Side::Left, MinusThreeDb};
    case AV_CHAN_FRONT_RIGHT_OF_CENTER:
    case AV_CHAN_BACK_RIGHT:
    case AV_CHAN_SIDE_RIGHT:
    case AV_CHAN_TOP_FRONT_RIGHT:
    case AV_CHAN_TOP_BACK_RIGHT:
    case AV_CHAN_WIDE_RIGHT:
    case AV_CHAN_SURROUND_DIRECT_RIGHT:
    case AV_CHAN_TOP_SIDE_RIGHT:
    case AV_CHAN_BOTTOM_FRONT_RIGHT:
        return {Side::Right, MinusThreeDb};
    default:
        return {Side::Both, MinusThreeDb};
    }
}

// Each output's gains scaled to sum to one, so that channels at full scale
// in step still stay within it; false when an output would be silent.
bool normalise(Matrix &m)
{
    for (std::vector<double> &row : m) {
        double sum = 0;
        for (double g : row)
            sum += g;
        if (sum <= 0)
            return false;
        for (double &g : row)
            g /= sum;
    }
    return true;
}

// Without names the channels mean nothing; they go round-robin to the
// outputs, each the average of its share, so nothing is lost or clips.
Matrix evenMix(int in, int out)
{
    Matrix m(std::size_t(out), std::vector<double>(std::size_t(in), 0.0));
    for (int o = 0; o < out; ++o) {
        const int share = (in - o + out - 1) / out;
        for (int i = o; i < in; i += out)
            m[std::size_t(o)][std::size_t(i)] = 1.0 / share;
        if (share == 0) // fewer inputs than outputs: repeat the first
            m[std::size_t(o)][0] = 1.0;
    }
    return m;
}

Matrix foldDown(const AVChannelLayout &in, int out)
{
    Matrix m(std::size_t(out), std::vector<double>(std::size_t(in.nb_channels), 0.0));
    for (int i = 0; i < in.nb_channels; ++i) {
        const Placement p = place(av_channel_layout_channel_from_index(&in, unsigned(i)));
        if (p.side == Side::Dropped)
            continue;
        if (out == 1) {
            m[0][std::size_t(i)] = 1.0;
            continue;
        }
        if (p.side != Side::Right)
            m[0][std::size_t(i)] = p.gain;
        if (p.side != Side::Left)
            m[1][std::size_t(i)] = p.gain;
    }
    return m;
}

QString panArgument(const Matrix &m)
{
    AVChannelLayout layout {};
    av_channel_layout_default(&layout, int(m.size()));
    char name[64] = {};
    av_channel_layout_describe(&layout, name, sizeof name);
    QString arg = layout.order == AV_CHANNEL_ORDER_NATIVE ? QString::fromLatin1(name)
                                                          : QStringLiteral("%1c").arg(m.size());
    av_channel_layout_uninit(&layout);
    for (std::size_t o = 0; o < m.size(); ++o) {
        QStringList terms;
        for (std::size_t i = 0; i < m[o].size(); ++i) {
            if (m[o][i] > 0)
                terms << QStringLiteral("%1*c%2").arg(m[o][i], 0, 'g', 8).arg(i);
        }
        arg += QStringLiteral("|c%1=%2").arg(o).arg(terms.join(u'+'));
    }
    return arg;
}

struct BufferSrcParametersDeleter {
    void operator()(AVBufferSrcParameters *p) const
    {
        av_channel_layout_uninit(&p->ch_layout);
        av_free(p);
    }
};

struct InOutDeleter {
    void operator()(AVFilterInOut *p) const { avfilter_inout_free(&p); }
};
using InOutPtr = std::unique_ptr<AVFilterInOut, InOutDeleter>;

InOutPtr endpoint(const char *name, AVFilterContext *filter)
{
    InOutPtr io(avfilter_inout_alloc());
    if (!io || !(io->name = av_strdup(name)))
        throw std::bad_alloc();
    io->filter_ctx = filter;
    io->pad_idx = 0;
    return io;
}

// An abuffer taking what `format` describes, then `filters`, then an abuffersink.
int buildChain(FilterChain &c, const AVFrame &format, const QString &filters)
{
    c = {};
    c.graph.reset(avfilter_graph_alloc());
    if (!c.graph)
        throw std::bad_alloc();
    c.graph->nb_threads = 1;
    c.source = avfilter_graph_alloc_filter(c.graph.get(), avfilter_get_by_name("abuffer"), "in");
    c.sink = avfilter_graph_alloc_filter(c.graph.get(), avfilter_get_by_name("abuffersink"), "out");
    std::unique_ptr<AVBufferSrcParameters, BufferSrcParametersDeleter> par(av_buffersrc_parameters_alloc());
    if (!c.source || !c.sink || !par)
        throw std::bad_alloc();
    par->format = format.format;
    par->sample_rate = format.sample_rate;
    par->time_base = {1, std::max(1, format.sample_rate)};
    int ret = av_channel_layout_copy(&par->ch_layout, &format.ch_layout);
    if (ret >= 0)
        ret = av_buffersrc_parameters_set(c.source, par.get());
    if (ret >= 0)
        ret = avfilter_init_str(c.source, nullptr);
    if (ret >= 0)
        ret = avfilter_init_str(c.sink, nullptr);
    if (ret < 0)
        return ret;
    AVFilterInOut *outputs = endpoint("in", c.source).release();
    AVFilterInOut *inputs = endpoint("out", c.sink).release();
    ret = avfilter_graph_parse_ptr(c.graph.get(), filters.toLatin1().constData(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    return ret < 0 ? ret : avfilter_graph_config(c.graph.get(), nullptr);
}

} // namespace

std::optional<QString> downmixPan(const AVChannelLayout &in, int outChannels)
{
    if (in.nb_channels < 1 || outChannels < 1)
        return std::nullopt;
    if (in.order != AV_CHANNEL_ORDER_NATIVE)
        return panArgument(evenMix(in.nb_channels, outChannels));
    if (in.nb_channels <= outChannels || outChannels > 2)
        return std::nullopt;
    Matrix m = foldDown(in, outChannels);
    if (!normalise(m))
        m = evenMix(in.nb_channels, outChannels);
    return panArgument(m);
}

AudioStage::AudioStage(JobContext &job, OutputFile &out, AudioSource source)
    : m_job(job)
    , m_output(out)
    , m_in(source.stream)
    , m_origin(source.origin)
{
    m_dec.ctx = std::move(source.decoder);
    const AudioSettings &p = job.task.profile.audio;
    const AVCodec *codec = findEncoder(encoderName(p.codec));
    m_enc.reset(avcodec_alloc_context3(codec));
    if (!m_enc)
        throw std::bad_alloc();
    const AVCodecParameters *par = m_in->codecpar;
    m_enc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    if (p.codec == AudioCodec::Flac && (par->bits_per_raw_sample > 16 || par->bits_per_coded_sample > 16)) {
        // Lossless keeps the input's depth.
        m_enc->sample_fmt = AV_SAMPLE_FMT_S32;
        m_enc->bits_per_raw_sample = 24;
    }
    const int inputRate = par->sample_rate > 0 ? par->sample_rate : 48000;
    m_enc->sample_rate = p.sampleRate > 0 ? p.sampleRate : supportedRate(codec, inputRate);
    // Lossless keeps every channel; the lossy profiles without a count stay within stereo.
    const int inputChannels = std::max(1, par->ch_layout.nb_channels);
    const int channels = p.channels > 0 ? p.channels
        : p.codec == AudioCodec::Flac ? std::min(inputChannels, 8) : std::min(inputChannels, 2);
    av_channel_layout_default(&m_enc->ch_layout, channels);
    m_enc->bit_rate = p.bitRate;
    m_enc->time_base = {1, m_enc->sample_rate};
    m_enc->thread_count = 1;
}

AudioStage::~AudioStage()
{
    av_channel_layout_uninit(&m_convertLayout);
}

void AudioStage::attach(bool defaultTrack)
{
    m_stream = m_output.addStream(m_enc.get(), "audio");
    for (const char *key : {"language", "title"}) {
        if (const AVDictionaryEntry *e = av_dict_get(m_in->metadata, key, nullptr, 0))
            av_dict_set(&m_stream->metadata, key, e->value, 0);
    }
    m_stream->disposition = defaultTrack ? AV_DISPOSITION_DEFAULT : 0;
    m_filtered.reset(av_frame_alloc());
    m_encoded.reset(av_packet_alloc());
    if (!m_filtered || !m_encoded)
        throw std::bad_alloc();
    AVFrame *format = m_filtered.get();
    format->format = m_enc->sample_fmt;
    format->sample_rate = m_enc->sample_rate;
    av_channel_layout_copy(&format->ch_layout, &m_enc->ch_layout);
    const int ret = buildChain(m_framing, *format, QStringLiteral("anull"));
    av_frame_unref(format);
    if (ret < 0)
        fail(EngineError::EncodeFailed, QStringLiteral("audio encoder: %1").arg(ff::errorText(ret)));
    av_buffersink_set_frame_size(m_framing.sink, unsigned(frameSize()));
}

int AudioStage::frameSize() const
{
    const int n = m_enc->frame_size;
    return n > 0 ? n : 1024;
}

void AudioStage::decodePacket(const AVPacket *pkt, AVFrame *frame)
{
    if (pkt)
        ++m_dec.packets;
    decode(m_job, m_dec, pkt, frame, "audio", [this](AVFrame *f) { convert(f); });
}

void AudioStage::finish(AVFrame *frame)
{
    decodePacket(nullptr, frame);
    if (m_job.aborted())
        return;
    drainConverted();
    if (m_job.aborted())
        return;
    int ret = av_buffersrc_add_frame(m_framing.source, nullptr);
    if (ret < 0)
        fail(EngineError::EncodeFailed, QStringLiteral("audio encoder: %1").arg(ff::errorText(ret)));
    encodeFramed();
    if (m_job.aborted())
        return;
    checkDecoded(m_job, m_dec, "audio");
    encodeInto(m_output, m_enc.get(), m_stream, nullptr, m_encoded.get(), "audio");
}

void AudioStage::convert(AVFrame *in)
{
    if (m_nextPts == AV_NOPTS_VALUE) {
        const int64_t ts = in->best_effort_timestamp != AV_NOPTS_VALUE ? in->best_effort_timestamp : in->pts;
        m_nextPts = ts == AV_NOPTS_VALUE ? 0 : std::max<int64_t>(0, av_rescale_q(ts - m_origin, m_in->time_base, m_enc->time_base));
        if (m_nextPts > int64_t(MaxGapSeconds) * m_enc->sample_rate)
            m_nextPts = 0;
    }
    configure(in);
    // The output is stamped by its sample count; damaged input timestamps
    // must not reach the filters.
    in->pts = AV_NOPTS_VALUE;
    const int ret = av_buffersrc_write_frame(m_convert.source, in);
    if (ret < 0)
        fail(EngineError::DecodeFailed, QStringLiteral("%1: resampling failed: %2")
                                            .arg(baseName(m_job.task.inputPath), ff::errorText(ret)));
    pullConverted();
}

void AudioStage::configure(const AVFrame *in)
{
    if (m_convert.graph && m_convertFormat == in->format && m_convertRate == in->sample_rate
        && av_channel_layout_compare(&m_convertLayout, &in->ch_layout) == 0)
        return;
    // A decoder may change format mid-stream; the filters' buffers are
    // sized from these values.
    checkAudioFormat(in->sample_rate, in->ch_layout.nb_channels, m_job.task.inputPath);
    drainConverted();
    const int channels = in->ch_layout.nb_channels;
    char layout[64] = {};
    av_channel_layout_describe(&m_enc->ch_layout, layout, sizeof layout);
    QString filters = QStringLiteral("aresample=%1,aformat=sample_fmts=%2:sample_rates=%1:channel_layouts=%3")
                          .arg(m_enc->sample_rate)
                          .arg(QLatin1String(av_get_sample_fmt_name(m_enc->sample_fmt)), QLatin1String(layout));
    if (const std::optional<QString> pan = downmixPan(in->ch_layout, m_enc->ch_layout.nb_channels))
        filters = QStringLiteral("pan=%1,").arg(*pan) + filters;
    const int ret = buildChain(m_convert, *in, filters);
    if (ret < 0) {
        m_convert = {};
        fail(channels != m_enc->ch_layout.nb_channels ? EngineError::UnsupportedChannelLayout : EngineError::UnsupportedFormat,
             QStringLiteral("%1: cannot resample %2 channels at %3 Hz: %4")
                 .arg(baseName(m_job.task.inputPath))
                 .arg(channels)
                 .arg(in->sample_rate)
                 .arg(ff::errorText(ret)));
    }
    m_convertFormat = AVSampleFormat(in->format);
    m_convertRate = in->sample_rate;
    av_channel_layout_uninit(&m_convertLayout);
    av_channel_layout_copy(&m_convertLayout, &in->ch_layout);
}

// Moves what the conversion has ready into the framing, and encodes what
// that has ready.
void AudioStage::pullConverted()
{
    for (;;) {
        const int ret = av_buffersink_get_frame(m_convert.sink, m_filtered.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            break;
        if (ret < 0)
            fail(EngineError::DecodeFailed, QStringLiteral("%1: resampling failed: %2")
                                                .arg(baseName(m_job.task.inputPath), ff::errorText(ret)));
        const int pushed = av_buffersrc_add_frame(m_framing.source, m_filtered.get());
        av_frame_unref(m_filtered.get());
        if (pushed < 0)
            fail(EngineError::EncodeFailed, QStringLiteral("audio encoder: %1").arg(ff::errorText(pushed)));
    }
    encodeFramed();
}

void AudioStage::drainConverted()
{
    if (m_job.aborted() || !m_convert.graph)
        return;
    const int ret = av_buffersrc_add_frame(m_convert.source, nullptr);
    if (ret < 0)
        fail(EngineError::DecodeFailed, QStringLiteral("%1: resampling failed: %2")
                                            .arg(baseName(m_job.task.inputPath), ff::errorText(ret)));
    pullConverted();
    m_convert = {};
}

void AudioStage::encodeFramed()
{
    for (;;) {
        const int ret = av_buffersink_get_frame(m_framing.sink, m_filtered.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return;
        if (ret < 0)
            fail(EngineError::EncodeFailed, QStringLiteral("audio encoder: %1").arg(ff::errorText(ret)));
        encodeFrame(m_filtered.get());
        av_frame_unref(m_filtered.get());
    }
}

// Only the last frame can come short; encoders that cannot take it so get
// it padded with silence.
void AudioStage::encodeFrame(AVFrame *f)
{
    const int size = frameSize();
    ff::FramePtr padded;
    if (f->nb_samples < size
        && !(m_enc->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE))) {
        padded.reset(av_frame_alloc());
        if (!padded)
            throw std::bad_alloc();
        padded->format = f->format;
        padded->sample_rate = f->sample_rate;
        av_channel_layout_copy(&padded->ch_layout, &f->ch_layout);
        padded->nb_samples = size;
        if (av_frame_get_buffer(padded.get(), 0) < 0)
            throw std::bad_alloc();
        const int channels = f->ch_layout.nb_channels;
        const auto format = AVSampleFormat(f->format);
        av_samples_copy(padded->extended_data, f->extended_data, 0, 0, f->nb_samples, channels, format);
        av_samples_set_silence(padded->extended_data, f->nb_samples, size - f->nb_samples, channels, format);
        f = padded.get();
    }
    f->pts = m_nextPts;
    m_nextPts += f->nb_samples;
    encodeInto(m_output, m_enc.get(), m_stream, f, m_encoded.get(), "audio");
}

AudioTracks::AudioTracks(JobContext &job, OutputFile &out, std::vector<AudioSource> sources)
    : m_job(job)
{
    for (AudioSource &s : sources)
        m_stages.push_back(std::make_unique<AudioStage>(job, out, std::move(s)));
}

void AudioTracks::attach()
{
    for (std::size_t i = 0; i < m_stages.size(); ++i)
        m_stages[i]->attach(i == 0);
}

void AudioTracks::run()
{
    ff::FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    while (std::optional<ff::PacketPtr> pkt = m_job.audioPackets.pop()) {
        const int index = (*pkt)->stream_index;
        const auto stage = std::find_if(m_stages.begin(), m_stages.end(),
                                        [index](const auto &s) { return s->streamIndex() == index; });
        if (stage != m_stages.end())
            (*stage)->decodePacket(pkt->get(), frame.get());
    }
    for (const std::unique_ptr<AudioStage> &stage : m_stages) {
        if (m_job.aborted())
            return;
        stage->finish(frame.get());
    }
}

} // namespace joblet::transcode
