#pragma once

#include <QObject>

class QSocketNotifier;

namespace joblet::batchcli {

// Turns SIGINT and SIGTERM into a Qt signal: the handler only writes the
// signal's number into a pipe, and the event loop reads it. A signal that
// comes before the loop runs waits in the pipe.
class SignalPipe : public QObject {
    Q_OBJECT

public:
    // The handlers, first thing in main(), so no signal ever meets the
    // default action of a program that means to exit 128 + its number.
    static void install();
    // Back to the default actions (for commands that have nothing to stop);
    // a signal that came meanwhile then takes effect.
    static void restoreDefaults();

    // Reads the pipe in the event loop; installs the handlers if needed.
    explicit SignalPipe(QObject *parent = nullptr);
    ~SignalPipe() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace joblet::batchcli
