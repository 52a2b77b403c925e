#pragma once

#include "PropertyPage.h"

#include "session/TimeLeft.h"

#include <QElapsedTimer>

#include <optional>

class QLabel;
class QProgressBar;
class QTimer;

namespace joblet {

class Clock;
class SessionRunner;
struct EncodeProgress;

// The current job (input, output, profile with its streams, frame size and
// bit rates) and its live progress: percent, elapsed time, encoded media
// time, frames per second, time left; with the run's runner, also which job
// of the run it is and the whole run's time left. Polls the engine a few
// times a second from the GUI thread, so encoding never waits for painting.
class JobProgressPage : public PropertyPage {
    Q_OBJECT

public:
    explicit JobProgressPage(const Clock &clock, SessionRunner *runner = nullptr,
                             QWidget *parent = nullptr);
    void setObject(EncoderEngine *engine) override;

    static constexpr int RefreshMs = 250;

private:
    void onRunStateChanged(qint32 runState);
    void onEngineDestroyed();
    void beginJob();
    void updateTimer();
    void refresh();
    void tick();
    void showJob();
    void showProgress(const EncodeProgress &progress, qint64 elapsedMs);
    void showBatch(const EncodeProgress &progress, bool active);
    void showState(qint32 runState, qint32 errorState);

    QPointer<EncoderEngine> m_engine;
    QPointer<SessionRunner> m_runner;
    SpeedEstimate m_speed;
    QTimer *m_timer;
    QElapsedTimer m_elapsed;
    qint64 m_finalElapsedMs = -1; // frozen once the job has stopped
    bool m_shownJob = false;

    QLabel *m_lblState;
    QLabel *m_lblInputFile;
    QLabel *m_lblOutputFile;
    QLabel *m_lblProfile;
    QLabel *m_lblStreams;
    QProgressBar *m_prgJob;
    QLabel *m_lblElapsed;
    QLabel *m_lblEncoded;
    QLabel *m_lblFps;
    QLabel *m_lblTimeLeft;
    QLabel *m_lblBatch;
    QLabel *m_lblBatchLeft;
};

} // namespace joblet
