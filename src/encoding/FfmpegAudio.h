#pragma once

#include "FfmpegInput.h"
#include "FfmpegOutput.h"

#include <optional>
#include <vector>

namespace joblet::transcode {

// The pan filter's argument that folds `in` into `outChannels` without
// clipping; nothing when the resampler's own mapping is right (same or
// fewer channels, or a surround target).
std::optional<QString> downmixPan(const AVChannelLayout &in, int outChannels);

// A filter graph from an abuffer to an abuffersink.
struct FilterChain {
    ff::FilterGraphPtr graph;
    AVFilterContext *source = nullptr;
    AVFilterContext *sink = nullptr;
};

// One output audio track: decodes its input stream's packets, converts
// them in a filter graph, cuts them into encoder frames and encodes.
class AudioStage {
public:
    explicit AudioStage(JobContext &job, OutputFile &out, AudioSource source);
    ~AudioStage();
    AudioStage(const AudioStage &) = delete;
    AudioStage &operator=(const AudioStage &) = delete;

    int streamIndex() const { return m_in->index; }
    // Opens the encoder and adds its stream to the output.
    void attach(bool defaultTrack);
    void decodePacket(const AVPacket *pkt, AVFrame *frame);
    // Flushes decoder, filters and encoder once the input has ended.
    void finish(AVFrame *frame);

private:
    void convert(AVFrame *in);
    void configure(const AVFrame *in);
    void pullConverted();
    void encodeFramed();
    void drainConverted();
    void encodeFrame(AVFrame *f);
    int frameSize() const;

    JobContext &m_job;
    OutputFile &m_output;
    const AVStream *m_in;
    const int64_t m_origin;
    Decoder m_dec;
    ff::CodecPtr m_enc;
    AVStream *m_stream = nullptr;
    FilterChain m_convert; // rebuilt when the decoded format changes
    AVSampleFormat m_convertFormat = AV_SAMPLE_FMT_NONE;
    int m_convertRate = 0;
    AVChannelLayout m_convertLayout {};
    FilterChain m_framing; // encoder-sized frames across every rebuild of m_convert
    ff::FramePtr m_filtered;
    ff::PacketPtr m_encoded;
    int64_t m_nextPts = AV_NOPTS_VALUE; // in 1/sample_rate
};

// Audio thread (the job thread when there is no video): takes the packets
// the reader queues and hands each to its track.
class AudioTracks {
public:
    // `sources` with the one to play by default first.
    AudioTracks(JobContext &job, OutputFile &out, std::vector<AudioSource> sources);

    void attach();
    void run();

private:
    JobContext &m_job;
    std::vector<std::unique_ptr<AudioStage>> m_stages;
};

} // namespace joblet::transcode
