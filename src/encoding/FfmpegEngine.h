#pragma once

#include "EncoderEngine.h"

#include <memory>

namespace joblet {

class FfmpegTranscoder;
struct TranscodeCounters;

// The real engine, on the FFmpeg libraries.
class FfmpegEngine : public EncoderEngine {
    Q_OBJECT

public:
    explicit FfmpegEngine(joblet::ProfileCollection profiles, QObject *parent = nullptr);
    ~FfmpegEngine() override;

    EncodeProgress Progress() const override;

protected:
    SourceInfo inspectSource(const QString &path) override;
    void startJob(const EncodeJob &job) override;
    void stopJob() override;

private:
    std::unique_ptr<FfmpegTranscoder> m_job;
    std::shared_ptr<TranscodeCounters> m_counters;
};

} // namespace joblet
