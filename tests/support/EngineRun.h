#pragma once

#include "encoding/FfmpegEncoder.h"
#include "encoding/FfmpegProbe.h"
#include "encoding/ProfileCatalogue.h"

#include <QSignalSpy>

// One job through the real engine, waited for on the event loop.
namespace joblet::test {

inline joblet::ProfileSettings builtInProfile(const QString &name)
{
    for (const joblet::ProfileSettings &p : joblet::ProfileCatalogue::builtIn()) {
        if (p.name == name)
            return p;
    }
    return {};
}

struct EngineOutcome {
    qint32 error = 0; // 0 when it finished
    QString note;
};

inline EngineOutcome encodeWith(const QString &input, const joblet::ProfileSettings &settings, const QString &output)
{
    joblet::FfmpegEncoder encoder;
    joblet::EncodeJob job;
    job.inputPath = input;
    job.source = joblet::probeMediaFile(input);
    job.profile = settings;
    job.outputPath = output;
    QSignalSpy ended(&encoder, &joblet::Encoder::jobEnded);
    encoder.start(job);
    if (!ended.wait(120000))
        return {-1, QStringLiteral("no end")};
    const auto outcome = ended.first().first().value<joblet::JobOutcome>();
    return {outcome.number, outcome.note};
}

} // namespace joblet::test
