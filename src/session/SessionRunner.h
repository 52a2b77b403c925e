#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "encoding/Encoder.h"
#include "session/RunPlan.h"

#include <memory>
#include <optional>

namespace joblet {

class BatchList;
class EncoderEngine;
class EngineFactory;

// Encodes the batch list job after job with one engine and writes each job's
// outcome into its Result cell. Widget-free and asynchronous: start() returns
// at once, each step of the run is a slot of the application's one event
// loop, and the run reports facts by signals; the window turns them into the
// words a user reads.
class SessionRunner : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Finished, // every row was visited
        Stopped,  // stop() ended the run; later rows were not visited
    };
    Q_ENUM(Outcome)

    SessionRunner(BatchList &list, const EngineFactory &engines, QObject *parent = nullptr);
    ~SessionRunner() override;

    // "Done" for 0, else "Error:" and the code in upper-case hexadecimal
    // (negative codes as their 32-bit two's complement).
    static QString resultText(qint32 code);

    // Creates the run's engine and its "Joblet" group, and queues the first
    // row. Throws EncoderFailure when no engine can be created (nothing is
    // changed then), and EngineError::Busy while a run is in progress.
    void start();
    bool isRunning() const { return m_running; }

    // Ends the run: stops the engine (starting, running or paused) and
    // releases it; the job in progress then ends as stopped, or as done when
    // the engine says its output is in place, and runEnded(Stopped) follows
    // from the event loop. Returns whether the engine had a job under way.
    // Throws EncoderFailure when there is no current engine.
    bool stop();

    // Configures `engine`'s first source group for one job and starts it: 0
    // when the job is under way, else the failure's number, its text in
    // `description`. How the job ends comes by the engine's signals.
    qint32 ProcessInput(EncoderEngine &engine, const QString &InputFile, const QString &OutputFile,
                        const QString &Profile, QString *description = nullptr);

    // The rows this run encodes, fixed at start().
    RunPlan &plan() { return m_plan; }
    const RunPlan &plan() const { return m_plan; }
    const EngineFactory &engines() const { return m_engines; }
    // The row whose job the engine encodes, 0 between jobs.
    int jobRow() const { return m_jobRow; }

    // The engine of the current run, or nullptr.
    EncoderEngine *Encoder() const;
    qint32 EncoderError() const { return m_encoderError; }

public Q_SLOTS:
    void Encoder_OnError(qint32 hResult);

Q_SIGNALS:
    // A run's engine exists / is gone (the property panel shows it meanwhile).
    void engineCreated(joblet::EncoderEngine *engine);
    void engineReleased();
    // The engine accepted the row's job and encodes it.
    void jobStarted(int row);
    // The row's job ended: 0, or the number written into its Result; the
    // description is the failure's text, or a finished job's note.
    void jobEnded(int row, qint32 number, const QString &description);
    // The run is done with the row, whether it ran it or skipped it as "Done".
    void rowVisited(int row);
    void runEnded(joblet::SessionRunner::Outcome outcome);

private:
    void nextRow();
    void advance();
    void onJobEnded(const JobOutcome &outcome);
    void concludeJob();
    void endJob(qint32 number, const QString &description);
    void endRun(Outcome outcome);
    void releaseEngine();
    void queue(void (SessionRunner::*step)());

    // Not owned; a list that goes away mid-run ends the run.
    QPointer<BatchList> m_list;
    const EngineFactory &m_engines;
    std::unique_ptr<EncoderEngine> m_engine;
    bool m_engineReleased = false;
    bool m_running = false;
    bool m_stopRequested = false;
    // The row whose job the engine encodes, 0 between jobs.
    int m_jobRow = 0;
    int m_row = 0;
    RunPlan m_plan;
    // How the job of m_jobRow ended, until the row is written.
    std::optional<JobOutcome> m_outcome;
    qint32 m_encoderError = 0;
};

} // namespace joblet
