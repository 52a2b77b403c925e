#pragma once

#include "FfmpegJob.h"

namespace joblet::transcode {

class SideStreams;
class VideoConversion;

// The demuxer and the video decoder. Opened by the job thread; then the
// reader thread runs it: audio packets go to the audio thread's queue,
// video is decoded here and handed to the conversion.
class InputStage {
public:
    explicit InputStage(JobContext &job) : m_job(job) {}

    // Opens the file and the decoders of the streams the profile wants.
    void open();
    AVStream *videoStream() const { return m_videoIndex < 0 ? nullptr : m_input->streams[m_videoIndex]; }
    AVStream *audioStream() const { return m_audioIndex < 0 ? nullptr : m_input->streams[m_audioIndex]; }
    // Where the input starts, in `st`'s time base.
    int64_t origin(const AVStream *st) const;
    // The audio thread's from here on.
    ff::CodecPtr takeAudioDecoder() { return std::move(m_audioDecoder); }
    // For what rides along: it picks its own streams and takes their packets.
    AVFormatContext *demuxer() const { return m_input.get(); }
    void carry(SideStreams *side) { m_side = side; }

    void run(VideoConversion *video);

private:
    void pickStreams();
    bool handOn(AVPacket *pkt, AVFrame *frame);
    void decodeVideo(const AVPacket *pkt, AVFrame *frame);

    JobContext &m_job;
    ff::InputPtr m_input;
    int m_videoIndex = -1;
    int m_audioIndex = -1;
    Decoder m_video;
    ff::CodecPtr m_audioDecoder;
    VideoConversion *m_conversion = nullptr;
    SideStreams *m_side = nullptr;
};

} // namespace joblet::transcode
