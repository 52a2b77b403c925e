#pragma once

#include <QObject>

class QSocketNotifier;

namespace joblet {

// SIGTERM and SIGHUP (logout, shutdown) as a Qt signal: the handler only
// writes into a pipe, the event loop reads it and emits. One per process.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // Whether one of the signals arrived.
    bool received() const { return m_received; }

Q_SIGNALS:
    void terminationRequested();

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
    bool m_received = false;
};

} // namespace joblet
