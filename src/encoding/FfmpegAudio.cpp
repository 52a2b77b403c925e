#include "FfmpegAudio.h"

#include "FfmpegProbe.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <vector>

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

} // namespace

AudioStage::AudioStage(JobContext &job, OutputFile &out, AVStream *in, ff::CodecPtr decoder, int64_t origin)
    : m_job(job)
    , m_output(out)
    , m_in(in)
    , m_origin(origin)
{
    m_dec.ctx = std::move(decoder);
    const AudioSettings &p = job.task.profile.audio;
    const AVCodec *codec = findEncoder(encoderName(p.codec));
    m_enc.reset(avcodec_alloc_context3(codec));
    if (!m_enc)
        throw std::bad_alloc();
    const AVCodecParameters *par = in->codecpar;
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
    av_channel_layout_uninit(&m_swrLayout);
}

void AudioStage::attach()
{
    m_stream = m_output.addStream(m_enc.get(), "audio");
    m_fifo.reset(av_audio_fifo_alloc(m_enc->sample_fmt, m_enc->ch_layout.nb_channels, frameSize() * 2));
    m_scratch.reset(av_frame_alloc());
    m_encoded.reset(av_packet_alloc());
    if (!m_fifo || !m_scratch || !m_encoded)
        throw std::bad_alloc();
}

int AudioStage::frameSize() const
{
    const int n = m_enc->frame_size;
    return n > 0 ? n : 1024;
}

void AudioStage::run()
{
    ff::FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    while (std::optional<ff::PacketPtr> pkt = m_job.audioPackets.pop()) {
        ++m_dec.packets;
        decodePacket(pkt->get(), frame.get());
    }
    if (m_job.aborted())
        return;
    decodePacket(nullptr, frame.get());
    drain();
    if (m_job.aborted())
        return;
    checkDecoded(m_job, m_dec, "audio");
    encodeInto(m_output, m_enc.get(), m_stream, nullptr, m_encoded.get(), "audio");
}

void AudioStage::decodePacket(const AVPacket *pkt, AVFrame *frame)
{
    decode(m_job, m_dec, pkt, frame, "audio", [this](AVFrame *f) { convert(f); });
}

void AudioStage::convert(const AVFrame *in)
{
    if (m_nextPts == AV_NOPTS_VALUE) {
        const int64_t ts = in->best_effort_timestamp != AV_NOPTS_VALUE ? in->best_effort_timestamp : in->pts;
        m_nextPts = ts == AV_NOPTS_VALUE ? 0 : std::max<int64_t>(0, av_rescale_q(ts - m_origin, m_in->time_base, m_enc->time_base));
        if (m_nextPts > int64_t(MaxGapSeconds) * m_enc->sample_rate)
            m_nextPts = 0;
    }
    configureResampler(in);
    resample(in);
    encodeChunks(false);
}

// Input channels go round-robin to the output channels, each output the
// average of its share, so nothing is lost and nothing clips.
int AudioStage::setEvenMix(int inChannels)
{
    const int outChannels = m_enc->ch_layout.nb_channels;
    std::vector<double> matrix(std::size_t(outChannels) * std::size_t(inChannels), 0.0);
    for (int o = 0; o < outChannels; ++o) {
        const int share = (inChannels - o + outChannels - 1) / outChannels;
        for (int i = o; i < inChannels; i += outChannels)
            matrix[std::size_t(o * inChannels + i)] = share > 0 ? 1.0 / share : 0.0;
        if (share == 0) // fewer inputs than outputs: repeat the first
            matrix[std::size_t(o * inChannels)] = 1.0;
    }
    return swr_set_matrix(m_swr.get(), matrix.data(), inChannels);
}

void AudioStage::configureResampler(const AVFrame *in)
{
    if (m_swr && m_swrFormat == in->format && m_swrRate == in->sample_rate
        && av_channel_layout_compare(&m_swrLayout, &in->ch_layout) == 0)
        return;
    // A decoder may change format mid-stream; the resampler's buffers are
    // sized from these values.
    checkAudioFormat(in->sample_rate, in->ch_layout.nb_channels, m_job.task.inputPath);
    if (m_swr)
        resample(nullptr);
    const int channels = in->ch_layout.nb_channels;
    const int ret = openResampler(in);
    if (ret < 0)
        fail(channels != m_enc->ch_layout.nb_channels ? EngineError::UnsupportedChannelLayout : EngineError::UnsupportedFormat,
             QStringLiteral("%1: cannot resample %2 channels at %3 Hz: %4")
                 .arg(baseName(m_job.task.inputPath))
                 .arg(channels)
                 .arg(in->sample_rate)
                 .arg(ff::errorText(ret)));
    m_swrFormat = AVSampleFormat(in->format);
    m_swrRate = in->sample_rate;
    av_channel_layout_uninit(&m_swrLayout);
    av_channel_layout_copy(&m_swrLayout, &in->ch_layout);
}

int AudioStage::openResampler(const AVFrame *in)
{
    const int channels = in->ch_layout.nb_channels;
    AVChannelLayout inLayout {};
    av_channel_layout_copy(&inLayout, &in->ch_layout);
    if (inLayout.order != AV_CHANNEL_ORDER_NATIVE) {
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_default(&inLayout, channels);
    }
    // No standard layout has this many channels: the resampler cannot
    // work out a mix by itself.
    const bool ownMix = inLayout.order != AV_CHANNEL_ORDER_NATIVE;
    SwrContext *raw = nullptr;
    int ret = swr_alloc_set_opts2(&raw, &m_enc->ch_layout, m_enc->sample_fmt, m_enc->sample_rate, &inLayout,
                                  AVSampleFormat(in->format), in->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    m_swr.reset(raw);
    if (ret >= 0 && ownMix)
        ret = setEvenMix(channels);
    return ret < 0 ? ret : swr_init(m_swr.get());
}

// Runs `in` (null to drain) through the resampler into the fifo.
void AudioStage::resample(const AVFrame *in)
{
    const int inSamples = in ? in->nb_samples : 0;
    const int capacity = swr_get_out_samples(m_swr.get(), inSamples);
    if (capacity <= 0)
        return;
    AVFrame *s = m_scratch.get();
    if (s->nb_samples < capacity) {
        av_frame_unref(s);
        s->format = m_enc->sample_fmt;
        s->sample_rate = m_enc->sample_rate;
        av_channel_layout_copy(&s->ch_layout, &m_enc->ch_layout);
        s->nb_samples = capacity;
        if (av_frame_get_buffer(s, 0) < 0)
            throw std::bad_alloc();
    }
    const int n = swr_convert(m_swr.get(), s->data, capacity, in ? const_cast<const uint8_t **>(in->extended_data) : nullptr,
                              inSamples);
    if (n < 0)
        fail(EngineError::DecodeFailed, QStringLiteral("%1: resampling failed: %2")
                                            .arg(baseName(m_job.task.inputPath), ff::errorText(n)));
    if (n > 0 && av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void **>(s->data), n) < n)
        throw std::bad_alloc();
}

void AudioStage::drain()
{
    if (m_job.aborted() || !m_swr)
        return;
    resample(nullptr);
    encodeChunks(true);
}

// The encoder takes fixed-size frames; the last one is padded with silence.
void AudioStage::encodeChunks(bool final)
{
    const int size = frameSize();
    for (;;) {
        const int available = av_audio_fifo_size(m_fifo.get());
        if (available == 0 || (available < size && !final))
            return;
        ff::FramePtr f(av_frame_alloc());
        if (!f)
            throw std::bad_alloc();
        f->format = m_enc->sample_fmt;
        f->sample_rate = m_enc->sample_rate;
        av_channel_layout_copy(&f->ch_layout, &m_enc->ch_layout);
        f->nb_samples = size;
        if (av_frame_get_buffer(f.get(), 0) < 0)
            throw std::bad_alloc();
        const int n = av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void **>(f->data), size);
        // Encoders that take a short last frame get it: no silence added to the length.
        if (n < size && (m_enc->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)))
            f->nb_samples = n;
        else if (n < size)
            av_samples_set_silence(f->data, n, size - n, m_enc->ch_layout.nb_channels, m_enc->sample_fmt);
        f->pts = m_nextPts;
        m_nextPts += f->nb_samples;
        encodeInto(m_output, m_enc.get(), m_stream, f.get(), m_encoded.get(), "audio");
    }
}

} // namespace joblet::transcode
