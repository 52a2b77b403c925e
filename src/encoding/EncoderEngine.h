#pragma once

#include "EncoderProfile.h"
#include "SourceGroup.h"

#include <QObject>
#include <QString>

#include <algorithm>

namespace joblet {

inline constexpr qint32 RunStarting = 1;
inline constexpr qint32 RunRunning = 2;
inline constexpr qint32 RunPaused = 3;
inline constexpr qint32 RunStopped = 5;

// Where the output goes.
class EncoderFile {
public:
    const QString &LocalFileName() const { return m_localFileName; }
    void setLocalFileName(const QString &path) { m_localFileName = path; }

private:
    QString m_localFileName;
};

// Everything one encode needs, copied out of the engine's objects at Start so
// that a worker never touches them.
struct EncodeJob {
    quint64 id = 0;
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

// The encoder. Lives on, and is driven from, the thread that created it (the
// GUI thread). Encoding itself runs elsewhere; run-state changes and errors
// come back as queued signals, always OnError before the RunStopped that
// follows it, so a caller that sees RunStopped with ErrorState() == 0 knows the
// job finished. Operations that fail throw EncoderFailure.
class EncoderEngine : public QObject {
    Q_OBJECT

public:
    explicit EncoderEngine(joblet::ProfileCollection profiles, QObject *parent = nullptr);
    ~EncoderEngine() override;

    joblet::SourceGroupCollection &SourceGroupCollection() { return m_groups; }
    const joblet::ProfileCollection &ProfileCollection() const { return m_profiles; }
    EncoderFile &File() { return m_file; }

    // Starts encoding the first source group into File() and returns at once.
    void Start();
    // Ends the running job; when it returns the job is over, its partial
    // output is gone and RunState() is RunStopped. Does nothing when idle.
    void Stop();

    qint32 RunState() const { return m_runState; }
    qint32 ErrorState() const { return m_errorState; }
    QString ErrorDescription() const { return m_errorDescription; }
    // Once RunStopped: true when the last job ran to its end and its output
    // is in place, also when a Stop() came too late to prevent that.
    bool JobFinished() const { return m_finished; }
    // Once a job has finished: a remark for the user about it (e.g. how much
    // of an input that was cut short got encoded); empty when there is none.
    QString FinishedNote() const { return m_finishedNote; }
    virtual EncodeProgress Progress() const { return {}; }

    // Threads each encoder of later jobs may run: 0 (the default) lets them
    // take every core; a caller running N jobs at once gives its share.
    void SetThreadCount(int threads) { m_threads = std::max(0, threads); }
    int ThreadCount() const { return m_threads; }

Q_SIGNALS:
    void OnError(qint32 hResult);
    void RunStateChanged(qint32 runState);

protected:
    friend class SourceGroup;

    // Opens the file and counts its streams; throws EncoderFailure.
    virtual SourceInfo inspectSource(const QString &path) = 0;
    // Begins encoding in the background; throws EncoderFailure when it
    // cannot even begin.
    virtual void startJob(const EncodeJob &job) = 0;
    // Ends the running job and returns only once it has stopped and cleaned
    // up after itself.
    virtual void stopJob() = 0;

    // Thread-safe: queue a report about job `jobId` to the engine's thread.
    // Reports about a job that is no longer current are dropped.
    void postRunState(quint64 jobId, qint32 runState);
    void postError(quint64 jobId, qint32 number, const QString &description);
    // Thread-safe, before the RunStopped of a job that finished.
    void postFinishedNote(quint64 jobId, const QString &note);
    // From stopJob(): the job had finished before the stop could take effect.
    void setStopFoundFinished(const QString &note);

private:
    void setRunState(qint32 runState);
    bool isActive() const;

    joblet::ProfileCollection m_profiles;
    joblet::SourceGroupCollection m_groups;
    EncoderFile m_file;
    qint32 m_runState = RunStopped;
    qint32 m_errorState = 0;
    QString m_errorDescription;
    bool m_finished = false;
    QString m_finishedNote;
    quint64 m_jobId = 0;
    int m_threads = 0;
};

// True when both paths name one existing file (also through links).
bool isSameFile(const QString &a, const QString &b);

} // namespace joblet
