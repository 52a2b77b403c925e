#pragma once

#include "encoding/EncoderEngine.h"
#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"

#include <QHash>
#include <QPointer>
#include <QStringList>

#include <memory>

class FakeEncoderEngine;

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
        Finish,      // posts RunRunning, then RunStopped (a description: its note)
        Fail,        // posts the error, then RunStopped
        FailAtStart, // Start throws EncoderFailure(number, description)
        Hang,        // posts RunRunning, then waits for finishJob/failJob/Stop
    };
    Outcome outcome = Finish;
    qint32 number = 0;
    QString description; // empty: EngineError::describe(number)
};

struct FakeFailure {
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
    QHash<QString, FakeFailure> sourceFailures;

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
    QPointer<FakeEncoderEngine> lastEngine;

    FakeEngineScript();

    void setSource(const QString &path, int audio, int video);
    void setSourceFailure(const QString &path, qint32 number, const QString &description = {});
    void setJob(const QString &path, FakeJobPlan::Outcome outcome, qint32 number = 0,
                const QString &description = {});
};

class FakeEncoderEngine : public joblet::EncoderEngine {
    Q_OBJECT

public:
    explicit FakeEncoderEngine(std::shared_ptr<FakeEngineScript> script, QObject *parent = nullptr);
    ~FakeEncoderEngine() override;

    // Reports about the most recently started job, as its worker would. After
    // Stop that job is stale, so these show that late reports are dropped.
    void finishJob();
    void failJob(qint32 number, const QString &description = {});

    // The job handed to the last successful Start.
    const joblet::EncodeJob &lastJob() const { return m_job; }
    bool jobRunning() const { return m_running; }

    void setProgress(const joblet::EncodeProgress &progress) { m_progress = progress; }
    joblet::EncodeProgress Progress() const override { return m_progress; }

protected:
    joblet::SourceInfo inspectSource(const QString &path) override;
    void startJob(const joblet::EncodeJob &job) override;
    void stopJob() override;

private:
    std::shared_ptr<FakeEngineScript> m_script;
    joblet::EncodeJob m_job;
    bool m_running = false;
    joblet::EncodeProgress m_progress;
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
