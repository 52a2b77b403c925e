#include "FakeEncoderEngine.h"

#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"

using namespace joblet;

namespace {

EncoderFailure failure(qint32 number, const QString &description)
{
    return description.isEmpty() ? EncoderFailure(number) : EncoderFailure(number, description);
}

ProfileCollection collectionOf(const QList<ProfileSettings> &settings)
{
    QList<EncoderProfile> profiles;
    for (const ProfileSettings &s : settings)
        profiles << EncoderProfile(s);
    return ProfileCollection(profiles);
}

} // namespace

FakeEngineScript::FakeEngineScript()
    : profiles(ProfileCatalogue::builtIn())
{
}

void FakeEngineScript::setSource(const QString &path, int audio, int video)
{
    SourceInfo info;
    info.audioCount = audio;
    info.videoCount = video;
    if (video > 0) {
        info.width = 320;
        info.height = 240;
    }
    sourceFailures.remove(path);
    sources.insert(path, info);
}

void FakeEngineScript::setSourceFailure(const QString &path, qint32 number,
                                        const QString &description)
{
    sources.remove(path);
    sourceFailures.insert(path, FakeFailure{number, description});
}

void FakeEngineScript::setJob(const QString &path, FakeJobPlan::Outcome outcome, qint32 number,
                              const QString &description)
{
    jobs.insert(path, FakeJobPlan{outcome, number, description});
}

FakeEncoderEngine::FakeEncoderEngine(std::shared_ptr<FakeEngineScript> script, QObject *parent)
    : EncoderEngine(collectionOf(script->profiles), parent)
    , m_script(std::move(script))
{
    ++m_script->created;
    ++m_script->alive;
    m_script->lastEngine = this;
}

FakeEncoderEngine::~FakeEncoderEngine()
{
    --m_script->alive;
}

SourceInfo FakeEncoderEngine::inspectSource(const QString &path)
{
    m_script->log << QStringLiteral("AutoSetFileSource ") + path;
    if (const auto it = m_script->sourceFailures.constFind(path);
        it != m_script->sourceFailures.constEnd())
        throw failure(it->number, it->description);
    return m_script->sources.value(path, SourceInfo {1, 1, 0, 320, 240});
}

void FakeEncoderEngine::startJob(const EncodeJob &job)
{
    m_script->log << QStringLiteral("Start ") + job.inputPath;
    const FakeJobPlan plan = m_script->jobs.value(job.inputPath, m_script->defaultJob);
    if (plan.outcome == FakeJobPlan::FailAtStart)
        throw failure(plan.number, plan.description);
    m_job = job;
    m_running = true;
    switch (plan.outcome) {
    case FakeJobPlan::Finish:
        if (!plan.description.isEmpty())
            postFinishedNote(job.id, plan.description);
        finishJob();
        break;
    case FakeJobPlan::Fail:
        failJob(plan.number, plan.description);
        break;
    case FakeJobPlan::Hang:
    case FakeJobPlan::FailAtStart:
        postRunState(job.id, RunRunning);
        break;
    }
}

void FakeEncoderEngine::stopJob()
{
    m_script->log << QStringLiteral("Stop");
    m_running = false;
    if (m_script->stopFindsFinished)
        setStopFoundFinished({});
}

void FakeEncoderEngine::finishJob()
{
    m_running = false;
    postRunState(m_job.id, RunRunning);
    postRunState(m_job.id, RunStopped);
}

void FakeEncoderEngine::failJob(qint32 number, const QString &description)
{
    m_running = false;
    postError(m_job.id, number,
              description.isEmpty() ? EngineError::describe(number) : description);
    postRunState(m_job.id, RunStopped);
}

FakeEngines::FakeEngines(std::shared_ptr<FakeEngineScript> script)
    : m_script(std::move(script))
    , m_factory([script = m_script]() -> std::unique_ptr<EncoderEngine> {
        if (script->creationFailure != 0)
            throw EncoderFailure(script->creationFailure);
        return std::make_unique<FakeEncoderEngine>(script);
    })
{
}
