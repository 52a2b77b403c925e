#pragma once

#include "EncoderProfile.h"
#include "SourceGroup.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <optional>

namespace joblet {

// The values are the ones the property panel and stored reports show.
// No encoder of ours pauses; Paused is there for what reads the number.
enum class RunState : qint32 { Starting = 1, Running = 2, Paused = 3, Stopped = 5 };

inline bool isActive(RunState state)
{
    return state != RunState::Stopped;
}

// How one job ended, said once by the encoder that ran it.
struct JobOutcome {
    enum class End {
        Done,    // the output is in place (also when a stop came too late)
        Stopped, // stop() ended it; nothing is left behind
        Failed,  // `number` and `text` say why; nothing is left behind
    };
    End end = End::Done;
    qint32 number = 0; // 0 when Done
    QString text;      // why it failed or stopped
    QString note;      // Done: a remark on the output, e.g. how much of a cut input got in

    bool done() const { return end == End::Done; }
    static JobOutcome finished(const QString &note = {}) { return {End::Done, 0, {}, note}; }
    static JobOutcome failed(qint32 number, const QString &text) { return {End::Failed, number, text, {}}; }
    static JobOutcome stopped();
};

// Everything one encode needs, copied at start so that a worker never
// touches the caller's objects.
struct EncodeJob {
    quint64 id = 0; // given by the encoder
    QString inputPath;
    SourceInfo source;
    ProfileSettings profile;
    QString outputPath;
    int threads = 0; // encoder threads; 0: the encoders' own choice, all cores
};

// A snapshot of the running job, cheap enough to poll from a GUI timer.
struct EncodeProgress {
    qint64 durationUs = 0;   // input duration, 0 when unknown
    qint64 encodedUs = 0;    // media time written so far
    qint64 videoFrames = 0;  // video frames encoded so far
};

// Encodes one job at a time. Lives on, and is driven from, the thread that
// created it; the encoding runs elsewhere and comes back as queued signals.
// Every job that start() accepted ends with exactly one jobEnded(), after
// which the encoder is idle and takes the next job.
class Encoder : public QObject {
    Q_OBJECT

public:
    explicit Encoder(QObject *parent = nullptr);
    ~Encoder() override;

    // Begins the job and returns at once. Throws EncoderFailure when it
    // cannot even begin (busy, output is the input or of the wrong kind, no
    // stream the profile takes...); there is no jobEnded() then.
    void start(EncodeJob job);
    // Ends the running job and returns once it is over, its jobEnded()
    // sent. Does nothing when idle.
    void stop();

    RunState state() const { return m_state; }
    // How the last job ended, once it has.
    const JobOutcome &lastOutcome() const { return m_lastOutcome; }
    virtual EncodeProgress progress() const { return {}; }

Q_SIGNALS:
    // Starting and Running; the end of a job is its jobEnded(), with
    // state() Stopped by then.
    void stateChanged(joblet::RunState state);
    void jobEnded(const joblet::JobOutcome &outcome);

protected:
    virtual void startJob(const EncodeJob &job) = 0;
    // Returns only once the job has stopped and cleaned up after itself;
    // a job that had its output in place already says so by finishedBeforeStop().
    virtual void stopJob() = 0;

    // Thread-safe: queue a report about job `jobId` to the encoder's thread.
    // Reports about a job that is no longer current are dropped.
    void postRunning(quint64 jobId);
    void postEnded(quint64 jobId, const JobOutcome &outcome);
    // From stopJob(): the job had finished before the stop could take effect.
    void finishedBeforeStop(const QString &note);

private:
    void setState(RunState state);
    void end(const JobOutcome &outcome);

    RunState m_state = RunState::Stopped;
    quint64 m_jobId = 0;
    std::optional<QString> m_finishedBeforeStop;
    JobOutcome m_lastOutcome;
};

// True when both paths name one existing file (also through links).
bool isSameFile(const QString &a, const QString &b);

} // namespace joblet

Q_DECLARE_METATYPE(joblet::JobOutcome)
