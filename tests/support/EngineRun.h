#pragma once

#include "encoding/FfmpegEngine.h"
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
    joblet::FfmpegEngine engine {joblet::ProfileCollection()};
    joblet::SourceGroup &group = engine.SourceGroupCollection().Add(QStringLiteral("g"));
    group.AutoSetFileSource(input);
    group.setProfile(joblet::EncoderProfile(settings));
    engine.File().setLocalFileName(output);
    QSignalSpy spy(&engine, &joblet::EncoderEngine::RunStateChanged);
    engine.Start();
    while (engine.RunState() != joblet::RunStopped && spy.wait(120000))
        continue;
    return {engine.ErrorState(), engine.FinishedNote()};
}

} // namespace joblet::test
