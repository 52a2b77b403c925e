#pragma once

#include "FfmpegOutput.h"

namespace joblet::transcode {

// What the encoder takes, copied so that the reader never reads the
// encoder's context while the encoder thread uses it.
struct PictureFormat {
    int width = 0;
    int height = 0;
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    AVRational timeBase {0, 1}; // one frame
};

// Reader thread: scales decoded pictures to the profile's size and places
// them on the constant frame grid, for the encoder thread's queue.
class VideoConversion {
public:
    VideoConversion(JobContext &job, const AVStream *in, int64_t origin, PictureFormat target);
    void convert(const AVFrame *in);
    // After the last picture: one still held back is placed.
    void finish();

private:
    ff::FramePtr scale(const AVFrame *in);
    bool push(const AVFrame *picture, int64_t pts);
    void place(ff::FramePtr picture, int64_t slot);

    JobContext &m_job;
    const AVRational m_inTimeBase;
    const int64_t m_origin; // input start in stream time base
    const PictureFormat m_target;
    ff::SwsPtr m_sws;
    ff::FramePtr m_last;     // most recent scaled picture, for duplicates
    int64_t m_nextIndex = 0; // next output frame number
    int64_t m_shift = 0;     // output frames cut out at timestamp jumps
    // A picture stamped far ahead of the pace, held until the next one says
    // whether it opened a gap or was a lone damaged stamp.
    ff::FramePtr m_ahead;
    int64_t m_aheadSlot = 0;
};

// Job thread: the video encoder, fed from the queue.
class VideoEncoding {
public:
    // `in` gives the size, aspect, rate and colours a profile that fits
    // inside a box or keeps the input's rate starts from.
    VideoEncoding(JobContext &job, OutputFile &out, const AVStream *in = nullptr);
    ~VideoEncoding();
    VideoEncoding(const VideoEncoding &) = delete;
    VideoEncoding &operator=(const VideoEncoding &) = delete;
    // Opens the encoder and adds its stream to the output.
    void attach();
    PictureFormat format() const;
    void run();

private:
    JobContext &m_job;
    OutputFile &m_output;
    ff::CodecPtr m_enc;
    AVStream *m_stream = nullptr;
    AVDictionary *m_options = nullptr; // the encoder's private settings, until attach()
};

// The size a picture of `width`x`height` with sample aspect `sar` gets when
// fitted inside `maxWidth`x`maxHeight` (0: unbounded) with square pixels:
// display aspect kept, never enlarged, both sides even.
struct FittedSize {
    int width = 0;
    int height = 0;
};
FittedSize fitInside(int width, int height, AVRational sar, int maxWidth, int maxHeight);

} // namespace joblet::transcode
