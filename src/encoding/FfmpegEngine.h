#pragma once

#include "EncoderEngine.h"

namespace joblet {

// The real engine, on the FFmpeg libraries.
class FfmpegEngine : public EncoderEngine {
    Q_OBJECT

public:
    explicit FfmpegEngine(joblet::ProfileCollection profiles, QObject *parent = nullptr);
    ~FfmpegEngine() override;

protected:
    SourceInfo inspectSource(const QString &path) override;
    void startJob(const EncodeJob &job) override;
    void stopJob() override;
};

} // namespace joblet
