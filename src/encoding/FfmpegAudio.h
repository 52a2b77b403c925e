#pragma once

#include "FfmpegOutput.h"

namespace joblet::transcode {

// Audio thread (the job thread when there is no video): decodes the packets
// the reader queues, resamples, cuts into encoder frames and encodes.
class AudioStage {
public:
    AudioStage(JobContext &job, OutputFile &out, AVStream *in, ff::CodecPtr decoder, int64_t origin);
    ~AudioStage();
    AudioStage(const AudioStage &) = delete;
    AudioStage &operator=(const AudioStage &) = delete;

    // Opens the encoder and adds its stream to the output.
    void attach();
    void run();

private:
    void decodePacket(const AVPacket *pkt, AVFrame *frame);
    void convert(const AVFrame *in);
    void configureResampler(const AVFrame *in);
    void resample(const AVFrame *in);
    void drain();
    int openResampler(const AVFrame *in);
    int setEvenMix(int inChannels);
    void encodeChunks(bool final);
    int frameSize() const;

    JobContext &m_job;
    OutputFile &m_output;
    const AVStream *m_in;
    const int64_t m_origin;
    Decoder m_dec;
    ff::CodecPtr m_enc;
    AVStream *m_stream = nullptr;
    ff::SwrPtr m_swr;
    AVSampleFormat m_swrFormat = AV_SAMPLE_FMT_NONE;
    int m_swrRate = 0;
    AVChannelLayout m_swrLayout {};
    ff::FifoPtr m_fifo;
    ff::FramePtr m_scratch; // resampler output before it enters the fifo
    ff::PacketPtr m_encoded;
    int64_t m_nextPts = AV_NOPTS_VALUE; // in 1/sample_rate
};

} // namespace joblet::transcode
