#include "FakeEncoderEngine.h"

#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"

using namespace joblet;

namespace {

EncoderFailure failure(qint32 number, const QString &description)
{
    return description.isEmpty() ? EncoderFailure(number) : EncoderFailure(number, description);
}

} // namespace

FakeEngineScript::FakeEngineScript()
    : profiles(ProfileCatalogue::builtIn())
{
}

void FakeEngineScript::setSource(const QString &path, int audio, int video)
{
    sourceFailures.remove(path);
    sources.insert(path, SourceInfo {audio, video, 0, video > 0 ? 320 : 0, video > 0 ? 240 : 0});
}

void FakeEngineScript::setSourceFailure(const QString &path, qint32 number,
                                        const QString &description)
{
    sources.remove(path);
    sourceFailures.insert(path, FakeJobPlan{FakeJobPlan::Fail, number, description});
}

void FakeEngineScript::setJob(const QString &path, FakeJobPlan::Outcome outcome, qint32 number,
                              const QString &description)
{
    jobs.insert(path, FakeJobPlan{outcome, number, description});
}

std::shared_ptr<const MediaCatalogue> fakeCatalogue(std::shared_ptr<FakeEngineScript> script)
{
    return std::make_shared<const MediaCatalogue>(
        [script] {
            if (script->creationFailure != 0) // no encoder installed: no catalogue either
                throw EncoderFailure(script->creationFailure);
            QList<EncoderProfile> profiles;
            for (const ProfileSettings &s : script->profiles)
                profiles << EncoderProfile(s);
            return ProfileCollection(profiles);
        },
        [script](const QString &path) {
            if (script->creationFailure != 0)
                throw EncoderFailure(script->creationFailure);
            script->log << QStringLiteral("AutoSetFileSource ") + path;
            if (const auto it = script->sourceFailures.constFind(path); it != script->sourceFailures.constEnd())
                throw failure(it->number, it->description);
            return script->sources.value(path, SourceInfo {1, 1, 0, 320, 240});
        });
}

FakeEncoder::FakeEncoder(std::shared_ptr<FakeEngineScript> script, QObject *parent)
    : Encoder(parent)
    , m_script(std::move(script))
{
    ++m_script->created;
    ++m_script->alive;
    m_script->lastEngine = this;
}

FakeEncoder::~FakeEncoder()
{
    --m_script->alive;
}

void FakeEncoder::startJob(const EncodeJob &job)
{
    m_script->log << QStringLiteral("Start ") + job.inputPath;
    const FakeJobPlan plan = m_script->jobs.value(job.inputPath, m_script->defaultJob);
    if (plan.outcome == FakeJobPlan::FailAtStart)
        throw failure(plan.number, plan.description);
    m_job = job;
    if (plan.outcome != FakeJobPlan::Fail)
        postRunning(job.id);
    if (plan.outcome == FakeJobPlan::Finish)
        finishJob(plan.description);
    else if (plan.outcome == FakeJobPlan::Fail)
        failJob(plan.number, plan.description);
}

void FakeEncoder::stopJob()
{
    m_script->log << QStringLiteral("Stop");
    if (m_script->stopFindsFinished)
        finishedBeforeStop({});
}

void FakeEncoder::finishJob(const QString &note)
{
    postEnded(m_job.id, JobOutcome::finished(note));
}

void FakeEncoder::failJob(qint32 number, const QString &description)
{
    postEnded(m_job.id, JobOutcome::failed(number, description.isEmpty() ? EngineError::describe(number) : description));
}

FakeEncoderEngine::FakeEncoderEngine(std::shared_ptr<FakeEngineScript> script, QObject *parent)
    : EncoderEngine(fakeCatalogue(script), std::make_unique<FakeEncoder>(script), parent)
{
}

FakeEngines::FakeEngines(std::shared_ptr<FakeEngineScript> script)
    : m_script(std::move(script))
    , m_factory(fakeCatalogue(m_script), [script = m_script]() -> std::unique_ptr<Encoder> {
        if (script->creationFailure != 0)
            throw EncoderFailure(script->creationFailure);
        return std::make_unique<FakeEncoder>(script);
    })
{
}
