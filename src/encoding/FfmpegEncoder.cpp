#include "FfmpegEncoder.h"

#include "EncoderFailure.h"
#include "FfmpegTranscoder.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdlib>
#include <mutex>

namespace joblet {

namespace {

// The encoders' statistics and banners are not for our users: failures
// reach them as numbers and descriptions. Once, before any job's thread
// runs, and only where the program has not chosen for itself.
void quietLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (av_log_get_level() == AV_LOG_INFO)
            av_log_set_level(AV_LOG_ERROR);
        // Through Qt, which holds its lock while other threads (a test's
        // watchdog among them) read the environment.
        if (!qEnvironmentVariableIsSet("SVT_LOG"))
            qputenv("SVT_LOG", "1"); // errors only
    });
}

} // namespace

FfmpegEncoder::FfmpegEncoder(QObject *parent)
    : Encoder(parent)
    , m_counters(std::make_shared<TranscodeCounters>())
{
    quietLibraries();
}

FfmpegEncoder::~FfmpegEncoder()
{
    // The job's threads post to this object; they must be gone before it is.
    stopJob();
}

EncodeProgress FfmpegEncoder::progress() const
{
    EncodeProgress p;
    p.durationUs = m_counters->durationUs;
    p.encodedUs = m_counters->encodedUs;
    p.videoFrames = m_counters->videoFrames;
    return p;
}

void FfmpegEncoder::startJob(const EncodeJob &job)
{
    // A job that finished on its own may still be leaving its thread; it
    // was reported already.
    if (m_job) {
        m_job->stop();
        m_job.reset();
    }

    // Fresh counters: a caller still polling the old job's must not see
    // them jump back to zero under it.
    m_counters = std::make_shared<TranscodeCounters>();
    m_counters->durationUs = job.source.durationUs;

    const quint64 id = job.id;
    FfmpegTranscoder::Reports reports;
    reports.running = [this, id] { postRunning(id); };
    reports.ended = [this, id](const JobOutcome &outcome) { postEnded(id, outcome); };

    auto transcoder = std::make_unique<FfmpegTranscoder>(job, m_counters, std::move(reports));
    transcoder->start();
    m_job = std::move(transcoder);
}

void FfmpegEncoder::stopJob()
{
    if (m_job) {
        if (m_job->stop())
            finishedBeforeStop(m_job->note());
        m_job.reset();
    }
}

} // namespace joblet
