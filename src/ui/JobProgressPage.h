#pragma once

#include "PropertyPage.h"

#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QTimer;

namespace joblet {

// The current job (input, output, profile with its streams, frame size and
// bit rates) and its live progress: percent, elapsed time, encoded media
// time, frames per second, time left. Polls the engine a few times a second
// from the GUI thread, so encoding never waits for painting.
class JobProgressPage : public PropertyPage {
    Q_OBJECT

public:
    explicit JobProgressPage(QWidget *parent = nullptr);
    void setObject(EncoderEngine *engine) override;

    static constexpr int RefreshMs = 250;

private:
    void refresh();

    QPointer<EncoderEngine> m_engine;
    QTimer *m_timer;
    QElapsedTimer m_elapsed;
    // ... labels and the progress bar, named for tests
};

} // namespace joblet
