#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QEventLoop;

namespace joblet {

class BatchList;
class EncoderEngine;

// Encodes the batch list job after job with one engine and writes each job's
// outcome into its Result cell. Widget-free: the main window drives it from
// its Start and Stop buttons and shows what it signals.
//
// run() returns when the run is over; while a job encodes it waits in a local
// event loop that the engine's signals wake, so the window stays responsive
// and Stop, timers and close requests are handled during the run.
class SessionRunner : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Finished, // every row was visited
        Stopped,  // stop() ended the run; later rows were not visited
    };

    explicit SessionRunner(BatchList &list, QObject *parent = nullptr);
    ~SessionRunner() override;

    // "Done" for 0, else "Error:" and the code in upper-case hexadecimal
    // (negative codes as their 32-bit two's complement).
    static QString resultText(qint32 code);

    // The whole run. Throws EncoderFailure when the run cannot go on at all
    // (no engine can be created), and EngineError::Busy when called while a
    // run is in progress; failures of single jobs are written into their
    // rows instead. A request to leave the event loop (application exit)
    // while a job encodes ends the run as stop() does.
    Outcome run();
    bool isRunning() const { return m_running; }

    // Ends the run: stops a running or paused engine, releases it, and makes
    // the waiting job end with EngineError::Stopped. Returns whether the
    // engine was running or paused (and so was asked to stop). Throws
    // EncoderFailure when there is no current engine.
    bool stop();

    // One job on `engine`'s first source group: 0 when it finished, else the
    // failure's number; `description` receives the failure's text.
    qint32 ProcessInput(EncoderEngine &engine, const QString &InputFile, const QString &OutputFile,
                        const QString &Profile, QString *description = nullptr);

    // The engine of the current run, or nullptr.
    EncoderEngine *Encoder() const;
    qint32 EncoderError() const { return m_encoderError; }

    // Set by the timed session while it is armed and through the run it
    // starts; such a run reports what it does.
    bool TimedSession() const { return m_timedSession; }
    void setTimedSession(bool on) { m_timedSession = on; }

public Q_SLOTS:
    void Encoder_OnError(qint32 hResult);

Q_SIGNALS:
    // A run's engine exists / is gone (the property panel shows it meanwhile).
    void engineCreated(joblet::EncoderEngine *engine);
    void engineReleased();
    // "Encoder Running" while a job encodes, "Encoder Stopped" otherwise.
    void statusTextChanged(const QString &text);
    // Timed runs only: the report's start, its lines, and its end.
    void reportStarted(const QString &startTime);
    void reportLine(const QString &line);
    void reportFinished(const QString &endTime);
    // A timed session ended (its run finished, or Stop ended it while the
    // engine was running): the window puts its schedule display back.
    void timedSessionEnded();

private:
    bool stopRun();
    void releaseEngine();
    void finishRun();

    // Not owned; a list that goes away mid-run ends the run.
    QPointer<BatchList> m_list;
    QEventLoop *m_waitLoop = nullptr;
    std::unique_ptr<EncoderEngine> m_engine;
    bool m_engineReleased = false;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_timedSession = false;
    qint32 m_encoderError = 0;
};

} // namespace joblet
