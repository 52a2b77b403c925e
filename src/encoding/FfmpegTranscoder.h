#pragma once

#include "Encoder.h"

#include <atomic>
#include <functional>
#include <memory>

namespace joblet {

// Counters the GUI polls while a job runs; written by the job's threads.
struct TranscodeCounters {
    std::atomic<qint64> durationUs {0};
    std::atomic<qint64> encodedUs {0};
    std::atomic<qint64> videoFrames {0};
};

// One encode, on threads of its own. Bounded queues between them keep memory
// flat; the first failure or a stop aborts them all. Destroying it stops it.
//
// | thread                | runs (file)                 | owns                                        |
// |-----------------------|-----------------------------|---------------------------------------------|
// | job                   | Job (FfmpegTranscoder.cpp),  | set-up and tear-down of everything below;   |
// |                       | VideoEncoding (FfmpegVideo)  | the video encoder                           |
// | reader                | InputStage (FfmpegInput),    | demuxer, video decoder, filter graph (turn, |
// |                       | VideoConversion (FfmpegVideo)| fields, size) and the pictures' timing      |
// | audio (job if no      | AudioTracks, AudioStage      | per track: audio decoder, filter graph      |
// | video)                | (FfmpegAudio)               | (downmix, resampling, framing), encoder     |
// | reader, after the job | SideStreams                  | subtitles copied or converted; chapters,    |
// | set it up             | (FfmpegSideStreams)          | tags and cover, written by the job thread   |
// | any, under its mutex  | OutputFile (FfmpegOutput)    | muxer, temporary file, final rename         |
// | any                   | JobContext (FfmpegJob)       | stop flag, first failure, queues, counters  |
class FfmpegTranscoder {
public:
    struct Reports {
        std::function<void()> running;                  // files open, encoding begun
        std::function<void(const JobOutcome &)> ended;  // ended on its own: done or failed
    };

    FfmpegTranscoder(EncodeJob job, std::shared_ptr<TranscodeCounters> counters, Reports reports);
    ~FfmpegTranscoder();
    FfmpegTranscoder(const FfmpegTranscoder &) = delete;
    FfmpegTranscoder &operator=(const FfmpegTranscoder &) = delete;

    // Throws EncoderFailure(Internal) when no thread can be started.
    void start();
    // Returns once every thread has ended and the partial output is gone;
    // true when the job had already put its output in place, so nothing
    // was stopped.
    bool stop();
    // The note of a finished job.
    QString note() const;

private:
    class Job;
    std::unique_ptr<Job> m_job;
};

} // namespace joblet
