#include "FfmpegTranscoder.h"

#include "FfmpegAudio.h"
#include "FfmpegInput.h"
#include "FfmpegJob.h"
#include "FfmpegOutput.h"
#include "FfmpegVideo.h"

#include <optional>
#include <thread>

namespace joblet {

using namespace transcode;

class FfmpegTranscoder::Job {
public:
    Job(EncodeJob job, std::shared_ptr<TranscodeCounters> counters, Reports reports)
        : m_job(std::move(job), std::move(counters))
        , m_reports(std::move(reports))
    {
    }

    ~Job() { stop(); }

    void start()
    {
        try {
            m_worker = std::thread([this] { run(); });
        } catch (const std::system_error &e) {
            throw internalFailure(e);
        }
    }

    void stop()
    {
        m_job.stop = true;
        m_job.abortQueues();
        if (m_worker.joinable())
            m_worker.join();
    }

private:
    void run()
    {
        m_job.guarded([this] {
            setUp();
            m_reports.running();
            pipeline();
            if (const std::optional<EncoderFailure> failure = m_job.failure())
                throw *failure;
            if (!m_job.aborted())
                finish();
        });
        const std::optional<EncoderFailure> failure = m_job.failure();
        if (failure || m_job.stop)
            m_output.discard();
        m_conversion.reset();
        m_audio.reset();
        m_video.reset();
        m_input.reset();
        if (m_job.stop)
            return; // Stop() reports the end itself
        if (failure)
            m_reports.error(failure->number(), failure->description());
        m_reports.stopped();
    }

    void setUp()
    {
        m_input.emplace(m_job);
        m_input->open();
        if (m_input->videoStream())
            m_video.emplace(m_job, m_output);
        if (AVStream *st = m_input->audioStream())
            m_audio.emplace(m_job, m_output, st, m_input->takeAudioDecoder(), m_input->origin(st));
        m_output.create();
        if (m_video) {
            m_video->attach();
            AVStream *st = m_input->videoStream();
            m_conversion.emplace(m_job, st, m_input->origin(st), m_video->format());
        }
        if (m_audio)
            m_audio->attach();
        m_output.open();
    }

    void pipeline()
    {
        VideoConversion *conversion = m_conversion ? &*m_conversion : nullptr;
        std::thread reader([this, conversion] { m_job.guarded([&] { m_input->run(conversion); }); });
        std::optional<std::thread> audio;
        if (m_audio && m_video) {
            try {
                audio.emplace([this] { m_job.guarded([this] { m_audio->run(); }); });
            } catch (...) {
                m_job.abortQueues();
                reader.join();
                throw;
            }
        }
        if (m_video)
            m_job.guarded([this] { m_video->run(); });
        else
            m_job.guarded([this] { m_audio->run(); });
        if (audio)
            audio->join();
        reader.join();
    }

    void finish()
    {
        m_output.finish();
        // The container's duration was an estimate; what was written is the
        // real length, so a finished job reads as complete.
        TranscodeCounters &c = *m_job.counters;
        if (!m_job.stop && c.encodedUs > 0)
            c.durationUs = c.encodedUs.load();
    }

    JobContext m_job;
    Reports m_reports;
    std::thread m_worker;
    // Declared in the order they depend on each other: later ones go first.
    OutputFile m_output {m_job};
    std::optional<InputStage> m_input;
    std::optional<VideoEncoding> m_video;
    std::optional<AudioStage> m_audio;
    std::optional<VideoConversion> m_conversion;
};

FfmpegTranscoder::FfmpegTranscoder(EncodeJob job, std::shared_ptr<TranscodeCounters> counters, Reports reports)
    : m_job(std::make_unique<Job>(std::move(job), std::move(counters), std::move(reports)))
{
}

FfmpegTranscoder::~FfmpegTranscoder() = default;

void FfmpegTranscoder::start()
{
    m_job->start();
}

void FfmpegTranscoder::stop()
{
    m_job->stop();
}

} // namespace joblet
