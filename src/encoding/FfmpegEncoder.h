#pragma once

#include "Encoder.h"

#include <memory>

namespace joblet {

class FfmpegTranscoder;
struct TranscodeCounters;

// The real encoder, on the FFmpeg libraries.
class FfmpegEncoder : public Encoder {
    Q_OBJECT

public:
    explicit FfmpegEncoder(QObject *parent = nullptr);
    ~FfmpegEncoder() override;

    EncodeProgress progress() const override;

protected:
    void startJob(const EncodeJob &job) override;
    void stopJob() override;

private:
    std::unique_ptr<FfmpegTranscoder> m_job;
    std::shared_ptr<TranscodeCounters> m_counters;
};

} // namespace joblet
