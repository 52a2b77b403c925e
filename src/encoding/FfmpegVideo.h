#pragma once

#include "FfmpegOutput.h"
#include "FfmpegVideoChain.h"

#include <vector>

namespace joblet::transcode {

// What the encoder takes, copied so that the reader never reads the
// encoder's context while the encoder thread uses it.
struct PictureFormat {
    int width = 0;
    int height = 0;
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    AVRational timeBase {0, 1}; // one frame on a constant grid, else a tick
    bool constantRate = true;   // pictures on a grid of whole frames
};

// Reader thread: runs decoded pictures through the filter chain (turned
// upright, deinterlaced, scaled, converted) and stamps them for the encoder
// thread's queue: on the constant frame grid for a profile with a frame
// rate, else with their own timestamps.
class VideoConversion {
public:
    VideoConversion(JobContext &job, const AVStream *in, int64_t origin, PictureFormat target, VideoSource source,
                    VideoPlan plan);
    void convert(const AVFrame *in);
    // After the last picture: the chain is drained and one still held back
    // is placed.
    void finish();

private:
    void buildGraph(const AVFrame *first);
    void drainGraph();
    void pull();
    void stamp(const AVFrame *filtered);
    bool push(const AVFrame *picture, int64_t pts);
    void place(ff::FramePtr picture, int64_t slot);

    JobContext &m_job;
    const AVRational m_inTimeBase;
    const int64_t m_origin; // input start in stream time base
    const PictureFormat m_target;
    VideoSource m_source;
    VideoPlan m_plan;
    ff::FilterGraphPtr m_graph;
    AVFilterContext *m_feed = nullptr;
    AVFilterContext *m_sink = nullptr;
    AVRational m_sinkTimeBase {1, 1};
    int m_graphWidth = 0; // what the chain was built for
    int m_graphHeight = 0;
    int m_graphFormat = AV_PIX_FMT_NONE;
    ff::FramePtr m_filtered;
    ff::FramePtr m_last;     // most recent picture, for duplicates
    int64_t m_nextIndex = 0; // next output slot
    int64_t m_shift = 0;     // output slots cut out at timestamp jumps
    // A picture stamped far ahead of the pace, held until the next one says
    // whether it opened a gap or was a lone damaged stamp.
    ff::FramePtr m_ahead;
    int64_t m_aheadSlot = 0;
};

// Job thread: the video encoder, fed from the queue.
class VideoEncoding {
public:
    // `in` and its `first` picture (null when none was found) give the
    // size, turn, fields, rate and colours the profile starts from.
    VideoEncoding(JobContext &job, OutputFile &out, const AVStream *in, const AVFrame *first);
    ~VideoEncoding();
    VideoEncoding(const VideoEncoding &) = delete;
    VideoEncoding &operator=(const VideoEncoding &) = delete;
    // Opens the encoder and adds its stream to the output.
    void attach();
    PictureFormat format() const;
    const VideoSource &source() const { return m_source; }
    const VideoPlan &plan() const { return m_plan; }
    void run();

private:
    JobContext &m_job;
    OutputFile &m_output;
    ff::CodecPtr m_enc;
    AVStream *m_stream = nullptr;
    AVDictionary *m_options = nullptr; // the encoder's private settings, until attach()
    VideoSource m_source;
    VideoPlan m_plan;
    // Mastering display and light levels, for the output stream's header.
    std::vector<std::pair<AVPacketSideDataType, QByteArray>> m_hdrSideData;
};

} // namespace joblet::transcode
