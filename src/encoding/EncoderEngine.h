#pragma once

#include "Encoder.h"
#include "EncoderProfile.h"
#include "SourceGroup.h"

#include <QObject>
#include <QString>

#include <algorithm>
#include <memory>

namespace joblet {

class MediaCatalogue;

// The run states as the engine's RunState() gives them.
inline constexpr qint32 RunStarting = qint32(RunState::Starting);
inline constexpr qint32 RunRunning = qint32(RunState::Running);
inline constexpr qint32 RunPaused = qint32(RunState::Paused);
inline constexpr qint32 RunStopped = qint32(RunState::Stopped);

// Where the output goes.
class EncoderFile {
public:
    const QString &LocalFileName() const { return m_localFileName; }
    void setLocalFileName(const QString &path) { m_localFileName = path; }

private:
    QString m_localFileName;
};

// A job is configured the way the run and the property panel know it: a
// source group with its file and profile, an output file, Start. The
// encoding is the Encoder's; this adds the configuration and keeps its
// last error, as ErrorState() and OnError, before the RunStopped and the
// jobEnded() of that job. Operations that fail throw EncoderFailure.
class EncoderEngine : public QObject {
    Q_OBJECT

public:
    EncoderEngine(std::shared_ptr<const MediaCatalogue> catalogue, std::unique_ptr<Encoder> encoder,
                  QObject *parent = nullptr);
    ~EncoderEngine() override;

    joblet::SourceGroupCollection &SourceGroupCollection() { return m_groups; }
    const joblet::ProfileCollection &ProfileCollection() const { return m_profiles; }
    EncoderFile &File() { return m_file; }

    // Starts encoding the first source group into File() and returns at once.
    void Start();
    // Ends the running job; when it returns the job is over and its
    // jobEnded() sent. Does nothing when idle.
    void Stop();

    qint32 RunState() const { return qint32(m_encoder->state()); }
    qint32 ErrorState() const { return m_errorState; }
    QString ErrorDescription() const { return m_errorDescription; }
    EncodeProgress Progress() const { return m_encoder->progress(); }

    // Threads each encoder of later jobs may run: 0 (the default) lets them
    // take every core; a caller running N jobs at once gives its share.
    void SetThreadCount(int threads) { m_threads = std::max(0, threads); }
    int ThreadCount() const { return m_threads; }

    Encoder &encoder() const { return *m_encoder; }
    const MediaCatalogue &catalogue() const { return *m_catalogue; }

Q_SIGNALS:
    void OnError(qint32 hResult);
    void RunStateChanged(qint32 runState);
    void jobEnded(const joblet::JobOutcome &outcome);

private:
    void onJobEnded(const JobOutcome &outcome);

    std::shared_ptr<const MediaCatalogue> m_catalogue;
    std::unique_ptr<Encoder> m_encoder;
    joblet::ProfileCollection m_profiles;
    joblet::SourceGroupCollection m_groups;
    EncoderFile m_file;
    qint32 m_errorState = 0;
    QString m_errorDescription;
    int m_threads = 0;
};

} // namespace joblet
