#pragma once

// What the threads of one encode share; see FfmpegTranscoder.h for who owns what.

#include "BoundedQueue.h"
#include "Encoder.h"
#include "EncoderFailure.h"
#include "FfmpegTranscoder.h"
#include "FfmpegUtil.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace joblet::transcode {

// Enough to keep both sides busy without holding more than about a second
// of decoded pictures.
inline constexpr std::size_t VideoQueueFrames = 24;
inline constexpr std::size_t AudioQueuePackets = 64;
// A timestamp this far from the stream's own pace is damage, not a pause.
inline constexpr int MaxGapSeconds = 5;
// A few bad packets are normal in damaged files; this many in a row is not.
inline constexpr int MaxConsecutiveDecodeErrors = 64;

QString baseName(const QString &path);
[[noreturn]] void fail(qint32 number, const QString &detail);
// Write errors surface as AVERROR(errno); keep the distinction the user can act on.
qint32 writeErrorNumber(int averr);
// Out of memory, no thread to be had: nothing the user caused.
EncoderFailure internalFailure(const std::exception &e);

class JobContext {
public:
    JobContext(EncodeJob job, std::shared_ptr<TranscodeCounters> jobCounters)
        : task(std::move(job))
        , counters(std::move(jobCounters))
    {
    }

    const EncodeJob task;
    const std::shared_ptr<TranscodeCounters> counters;
    std::atomic<bool> stop {false}; // read by the libraries' interrupt callbacks
    BoundedQueue<ff::FramePtr> videoQueue {VideoQueueFrames};
    BoundedQueue<ff::PacketPtr> audioPackets {AudioQueuePackets};

    // The first failure wins; every queue is aborted so that all threads end.
    void recordFailure(const EncoderFailure &e);
    std::optional<EncoderFailure> failure() const;
    bool aborted() const;
    void abortQueues();

    // Stop and publishing decide under one lock, so the report always
    // matches the disk: false when the job already committed to publish.
    bool requestStop();
    // False when stopped or failed; from then on a stop is refused.
    bool commit();

    // Runs `f`, turning what it throws into the job's failure.
    template<typename F>
    void guarded(F &&f)
    {
        try {
            f();
        } catch (const EncoderFailure &e) {
            recordFailure(e);
        } catch (const std::exception &e) {
            recordFailure(internalFailure(e));
        }
    }

    AVIOInterruptCB interrupt() { return {&JobContext::interrupted, this}; }

private:
    static int interrupted(void *opaque);

    mutable std::mutex m_failureMutex;
    std::optional<EncoderFailure> m_failure;
    bool m_committed = false;
};

// One input stream's decoder and how it has fared.
struct Decoder {
    ff::CodecPtr ctx;
    qint64 packets = 0;
    qint64 frames = 0;
    int errorRun = 0;
};

ff::CodecPtr openDecoder(const JobContext &job, AVStream *st, bool threaded);
const AVCodec *findEncoder(const char *name);
void checkDecoded(const JobContext &job, const Decoder &d, const char *what);
void decodeError(const JobContext &job, Decoder &d, int err, const char *what);

// Sends one packet (null to flush) and hands on every frame it yields.
template<typename Handle>
void decode(JobContext &job, Decoder &d, const AVPacket *pkt, AVFrame *frame, const char *what, Handle &&handle)
{
    int ret = avcodec_send_packet(d.ctx.get(), pkt);
    if (ret < 0 && ret != AVERROR_EOF) {
        decodeError(job, d, ret, what);
        return;
    }
    for (;;) {
        ret = avcodec_receive_frame(d.ctx.get(), frame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return;
        if (ret < 0) {
            decodeError(job, d, ret, what);
            return;
        }
        d.errorRun = 0;
        ++d.frames;
        handle(frame);
        av_frame_unref(frame);
        if (job.aborted())
            return;
    }
}

} // namespace joblet::transcode
