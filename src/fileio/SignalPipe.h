#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

namespace joblet {

// Turns signals into a Qt signal: the handler only writes the signal's
// number into a pipe, and the event loop reads it. A signal that comes
// before the loop runs waits in the pipe. One set of signals per process.
class SignalPipe : public QObject {
    Q_OBJECT

public:
    // The handlers for `numbers`, first thing in main(), so no signal ever
    // meets the default action of a program that means to handle it.
    static void install(std::initializer_list<int> numbers);
    // Back to the default actions (for commands that have nothing to stop);
    // a signal that came meanwhile then takes effect.
    static void restoreDefaults();

    // Reads the pipe in the event loop, once install() has run.
    explicit SignalPipe(QObject *parent = nullptr);
    ~SignalPipe() override;

    // Whether a signal came through this pipe.
    bool anyReceived() const { return m_any; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
    bool m_any = false;
};

} // namespace joblet
