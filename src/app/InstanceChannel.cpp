#include "InstanceChannel.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <unistd.h>

namespace joblet {

namespace {

constexpr qsizetype MaxLine = 8192;

QByteArray requestLine(InstanceChannel::Request request)
{
    return request == InstanceChannel::Request::Raise ? QByteArrayLiteral("raise\n")
                                                      : QByteArrayLiteral("hand-off\n");
}

bool peerIsThisUser(const QLocalSocket &socket)
{
    ucred peer {};
    socklen_t size = sizeof(peer);
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
        && peer.uid == ::geteuid();
}

} // namespace

InstanceChannel::InstanceChannel(int listeningSocket, QString handOffFile, QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
    , m_answer(QFile::encodeName(handOffFile) + '\n')
{
    if (listeningSocket >= 0 && !m_server->listen(qintptr(listeningSocket)))
        ::close(listeningSocket);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::accept);
}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::serving() const
{
    return m_server->isListening();
}

void InstanceChannel::accept()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        if (!peerIsThisUser(*client)) {
            client->abort();
            continue;
        }
        connect(client, &QLocalSocket::readyRead, this, [this, client] { answer(client); });
        answer(client); // the request may be there already
    }
}

void InstanceChannel::answer(QLocalSocket *client)
{
    if (!client->canReadLine()) {
        if (client->bytesAvailable() > 64)
            client->abort(); // no request is that long
        return;
    }
    const QByteArray line = client->readLine(64);
    if (line == requestLine(Request::Raise))
        Q_EMIT raiseRequested();
    else if (line != requestLine(Request::HandOff)) {
        client->abort();
        return;
    }
    client->write(m_answer);
    client->disconnectFromServer();
}

std::optional<QString> InstanceChannel::ask(const QString &socketFile, Request request,
                                            std::chrono::milliseconds timeout, QString *why)
{
    auto fail = [why](const QString &text) -> std::optional<QString> {
        if (why)
            *why = text;
        return std::nullopt;
    };
    if (socketFile.isEmpty())
        return fail(tr("there is no private runtime folder to reach it through"));
    const QDeadlineTimer deadline(timeout);
    QLocalSocket socket;
    socket.connectToServer(socketFile);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return fail(socket.errorString());
    if (!peerIsThisUser(socket))
        return fail(tr("its socket belongs to another user"));
    socket.write(requestLine(request));
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return fail(tr("it did not take the request"));
    QByteArray reply;
    while (!reply.endsWith('\n') && reply.size() <= MaxLine) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
        reply += socket.read(MaxLine + 1 - reply.size());
    }
    if (!reply.endsWith('\n') || reply.size() > MaxLine)
        return fail(tr("it did not answer"));
    reply.chop(1);
    return QFile::decodeName(reply);
}

} // namespace joblet
