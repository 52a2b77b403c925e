#pragma once

#include "FfmpegJob.h"

#include <vector>

namespace joblet::transcode {

class SideStreams;
class VideoConversion;

// An input audio stream on its way to becoming an output track.
struct AudioSource {
    AVStream *stream = nullptr;
    ff::CodecPtr decoder;
    int64_t origin = 0; // where the input starts, in the stream's time base
};

// The demuxer and the video decoder. Opened by the job thread; then the
// reader thread runs it: audio packets go to the audio thread's queue,
// video is decoded here and handed to the conversion.
class InputStage {
public:
    explicit InputStage(JobContext &job) : m_job(job) {}

    // Opens the file and the decoders of the streams the profile wants.
    void open();
    AVStream *videoStream() const { return m_videoIndex < 0 ? nullptr : m_input->streams[m_videoIndex]; }
    // Where the input starts, in `st`'s time base.
    int64_t origin(const AVStream *st) const;
    // The audio tracks, the one to play by default first; the audio
    // thread's from here on.
    std::vector<AudioSource> takeAudio();
    // The track played by default, or null.
    AVStream *audioStream() const { return m_audioIndices.empty() ? nullptr : m_input->streams[m_audioIndices.front()]; }
    // For what rides along: it picks its own streams and takes their packets.
    AVFormatContext *demuxer() const { return m_input.get(); }
    void carry(SideStreams *side) { m_side = side; }

    // Decodes up to the first picture, so that what only pictures tell
    // (mastering data, woven fields) is known before the encoder opens;
    // what is read on the way is kept for run(). Null when no picture came
    // within a bounded read.
    const AVFrame *firstPicture();

    void run(VideoConversion *video);

private:
    void pickStreams();
    std::vector<int> pickAudio() const;
    void openAudio();
    bool handOn(AVPacket *pkt, AVFrame *frame);
    void decodeVideo(const AVPacket *pkt, AVFrame *frame);

    JobContext &m_job;
    ff::InputPtr m_input;
    int m_videoIndex = -1;
    std::vector<int> m_audioIndices; // the default track first
    Decoder m_video;
    std::vector<ff::CodecPtr> m_audioDecoders;
    VideoConversion *m_conversion = nullptr;
    std::vector<ff::FramePtr> m_peeked;  // pictures decoded by firstPicture()
    std::vector<ff::PacketPtr> m_stash;  // other packets read on the way
    bool m_readToEnd = false;
    SideStreams *m_side = nullptr;
};

} // namespace joblet::transcode
