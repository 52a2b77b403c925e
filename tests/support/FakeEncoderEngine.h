#pragma once

#include "encoding/EncoderEngine.h"
#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"

#include <QHash>
#include <QPointer>
#include <QStringList>

#include <memory>

class FakeEncoder;

// The number Start (or start) throws, 0 when it does not.
template <class T>
qint32 startFailure(T &starter)
{
    try {
        if constexpr (requires { starter.Start(); })
            starter.Start();
        else
            starter.start();
    } catch (const joblet::EncoderFailure &f) {
        return f.number();
    }
    return 0;
}

// What a fake engine does with a job, chosen per input path.
struct FakeJobPlan {
    enum Outcome {
        Finish,      // runs, then ends done (a description: its note)
        Fail,        // ends failed
        FailAtStart, // start throws EncoderFailure(number, description)
        Hang,        // runs until finishJob/failJob/stop
    };
    Outcome outcome = Finish;
    qint32 number = 0;
    QString description; // empty: EngineError::describe(number)
};

// Shared by every fake an installer creates, so a test can script engines
// that the code under test makes and throws away itself. Only used on the
// test's thread.
struct FakeEngineScript {
    // Profiles every new engine offers (default: the built-in ones).
    QList<joblet::ProfileSettings> profiles;

    // What AutoSetFileSource finds: per path, else one audio and one video stream.
    QHash<QString, joblet::SourceInfo> sources;
    QHash<QString, FakeJobPlan> sourceFailures; // outcomes ignored

    // Per input path, else defaultJob.
    QHash<QString, FakeJobPlan> jobs;
    FakeJobPlan defaultJob;

    // Stop finds the job already done, its output in place.
    bool stopFindsFinished = false;

    // Non-zero: creating an engine through the factory throws this number.
    qint32 creationFailure = 0;

    // Calls that reached the engine, oldest first: "AutoSetFileSource <path>",
    // "Start <input path>", "Stop". Start and Stop are only logged once the
    // base class's own checks let them through.
    QStringList log;
    int created = 0;
    int alive = 0;
    QPointer<FakeEncoder> lastEngine;

    FakeEngineScript();

    void setSource(const QString &path, int audio, int video);
    void setSourceFailure(const QString &path, qint32 number, const QString &description = {});
    void setJob(const QString &path, FakeJobPlan::Outcome outcome, qint32 number = 0,
                const QString &description = {});
};

// An encoder that does what its script says with each job.
class FakeEncoder : public joblet::Encoder {
    Q_OBJECT

public:
    explicit FakeEncoder(std::shared_ptr<FakeEngineScript> script, QObject *parent = nullptr);
    ~FakeEncoder() override;

    // Ends the most recently started job, as its worker would. After a
    // stop that job is stale, so these show that late reports are dropped.
    void finishJob(const QString &note = {});
    void failJob(qint32 number, const QString &description = {});

    void setProgress(const joblet::EncodeProgress &progress) { m_progress = progress; }
    joblet::EncodeProgress progress() const override { return m_progress; }

protected:
    void startJob(const joblet::EncodeJob &job) override;
    void stopJob() override;

private:
    std::shared_ptr<FakeEngineScript> m_script;
    joblet::EncodeJob m_job;
    joblet::EncodeProgress m_progress;
};

// The script's profiles and sources; every probe is logged.
std::shared_ptr<const joblet::MediaCatalogue> fakeCatalogue(std::shared_ptr<FakeEngineScript> script);

// An engine around a fake encoder, for tests that configure one themselves.
class FakeEncoderEngine : public joblet::EncoderEngine {
    Q_OBJECT

public:
    explicit FakeEncoderEngine(std::shared_ptr<FakeEngineScript> script, QObject *parent = nullptr);

    FakeEncoder &fake() const { return static_cast<FakeEncoder &>(encoder()); }
    void finishJob(const QString &note = {}) { fake().finishJob(note); }
    void failJob(qint32 number, const QString &description = {}) { fake().failJob(number, description); }
    void setProgress(const joblet::EncodeProgress &progress) { fake().setProgress(progress); }
};

// A factory that hands out fakes sharing one script.
class FakeEngines {
public:
    explicit FakeEngines(std::shared_ptr<FakeEngineScript> script
                         = std::make_shared<FakeEngineScript>());
    FakeEngines(const FakeEngines &) = delete;
    FakeEngines &operator=(const FakeEngines &) = delete;

    const joblet::EngineFactory &factory() const { return m_factory; }
    operator const joblet::EngineFactory &() const { return m_factory; }

    FakeEngineScript *operator->() { return m_script.get(); }
    const std::shared_ptr<FakeEngineScript> &sharedScript() const { return m_script; }

private:
    std::shared_ptr<FakeEngineScript> m_script;
    joblet::EngineFactory m_factory;
};
