#pragma once

#include "EncoderEngine.h"

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

// One encode, on threads of its own: a reader that demuxes and turns video
// into scaled pictures for the video encoder's thread, and an audio thread
// that decodes, resamples and encodes; both feed one muxer. Bounded queues
// between them keep memory flat. Destroying it stops it.
class FfmpegTranscoder {
public:
    struct Reports {
        std::function<void()> running;                          // files open, encoding begun
        std::function<void(qint32, const QString &)> error;      // before `stopped`
        std::function<void()> stopped;                          // ended on its own
    };

    FfmpegTranscoder(EncodeJob job, std::shared_ptr<TranscodeCounters> counters, Reports reports);
    ~FfmpegTranscoder();
    FfmpegTranscoder(const FfmpegTranscoder &) = delete;
    FfmpegTranscoder &operator=(const FfmpegTranscoder &) = delete;

    // Throws EncoderFailure(Internal) when no thread can be started.
    void start();
    // Returns once every thread has ended and the partial output is gone.
    void stop();

private:
    class Job;
    std::unique_ptr<Job> m_job;
};

} // namespace joblet
