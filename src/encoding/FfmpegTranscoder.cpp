#include "FfmpegTranscoder.h"

#include "EncodedLength.h"
#include "FfmpegAudio.h"
#include "FfmpegInput.h"
#include "FfmpegJob.h"
#include "FfmpegOutput.h"
#include "FfmpegSideStreams.h"
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

    bool stop()
    {
        const bool stopping = m_job.requestStop();
        if (m_worker.joinable())
            m_worker.join();
        return !stopping && m_published;
    }

    // Written before the job's thread ends; read after it is joined.
    QString note() const { return m_note; }

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
        m_side.reset();
        m_input.reset();
        if (m_job.stop)
            return; // Stop() reports the end itself
        m_reports.ended(failure ? JobOutcome::failed(failure->number(), failure->description())
                                : JobOutcome::finished(m_note));
    }

    void setUp()
    {
        m_input.emplace(m_job);
        m_input->open();
        if (m_input->videoStream())
            m_video.emplace(m_job, m_output, m_input->videoStream(), m_input->firstPicture());
        if (std::vector<AudioSource> audio = m_input->takeAudio(); !audio.empty())
            m_audio.emplace(m_job, m_output, std::move(audio));
        m_output.create();
        if (m_video) {
            m_video->attach();
            AVStream *st = m_input->videoStream();
            m_conversion.emplace(m_job, st, m_input->origin(st), m_video->format(), m_video->source(), m_video->plan());
        }
        if (m_audio)
            m_audio->attach();
        m_side.emplace(m_job, m_output, *m_input);
        m_side->attach();
        m_input->carry(&*m_side);
        m_output.open();
        m_side->writeCover();
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
        if (!m_output.finish())
            return;
        m_published = true;
        TranscodeCounters &c = *m_job.counters;
        const qint64 declared = c.durationUs;
        const qint64 encoded = c.encodedUs;
        // An input cut short, even while it was being read, ends quietly at
        // the cut; the user should learn how much is missing.
        const int fps = m_video ? m_job.task.profile.video.frameRate : 0;
        if (cutShort(declared, encoded, fps > 0 ? 1000000 / fps : 0))
            m_note = QStringLiteral("Only %1 s of the %2 s the input declares could be encoded (%3 %).")
                         .arg(double(encoded) / 1e6, 0, 'f', 1)
                         .arg(double(declared) / 1e6, 0, 'f', 1)
                         .arg(encoded * 100 / declared);
        if (const QString side = m_side->note(); !side.isEmpty())
            m_note = m_note.isEmpty() ? side : m_note + u' ' + side;
        // The container's duration was an estimate; what was written is the
        // real length, so a finished job reads as complete.
        if (encoded > 0)
            c.durationUs = encoded;
    }

    JobContext m_job;
    Reports m_reports;
    bool m_published = false;
    QString m_note;
    std::thread m_worker;
    // Declared in the order they depend on each other: later ones go first.
    OutputFile m_output {m_job};
    std::optional<InputStage> m_input;
    std::optional<SideStreams> m_side;
    std::optional<VideoEncoding> m_video;
    std::optional<AudioTracks> m_audio;
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

bool FfmpegTranscoder::stop()
{
    return m_job->stop();
}

QString FfmpegTranscoder::note() const
{
    return m_job->note();
}

} // namespace joblet
