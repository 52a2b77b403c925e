#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace joblet {

// How a later start talks to the running instance: over the local socket
// SingleInstance bound, one request line, one answer line. Every answer is
// the path of the running instance's hand-off file, so that a copy of the
// program in any folder hands its file to the file that is read.
//   "raise"    the window comes to the front
//   "hand-off" nothing else
// Only processes of the same user are answered.
class InstanceChannel : public QObject {
    Q_OBJECT

public:
    enum class Request { Raise, HandOff };

    // Serves on `listeningSocket` (taken over, -1 for none).
    InstanceChannel(int listeningSocket, QString handOffFile, QObject *parent = nullptr);
    ~InstanceChannel() override;
    bool serving() const;

    // The running instance's answer: its hand-off file; nullopt when it
    // cannot be reached within `timeout` (*why then says why).
    static std::optional<QString> ask(const QString &socketFile, Request request,
                                      std::chrono::milliseconds timeout, QString *why = nullptr);

Q_SIGNALS:
    void raiseRequested();

private:
    void accept();
    void answer(QLocalSocket *client);

    QLocalServer *m_server;
    QByteArray m_answer;
};

} // namespace joblet
