#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

namespace joblet::batchcli {

// Turns SIGINT, SIGTERM and the like into a Qt signal: the handler only
// writes the signal's number into a pipe, and the event loop reads it.
// One instance per process.
class SignalPipe : public QObject {
    Q_OBJECT

public:
    explicit SignalPipe(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~SignalPipe() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace joblet::batchcli
