#include "loopbackclient.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTest>

#include <sys/socket.h>

namespace {

qint64 monotonicNow()
{
    QElapsedTimer now;
    now.start();
    return now.msecsSinceReference();
}

} // namespace

LoopbackClient::LoopbackClient(QObject *parent)
    : QObject(parent)
{
    connect(&socket, &QAbstractSocket::disconnected, this, [this] { dropTime = monotonicNow(); });
}

bool LoopbackClient::connectToInstance(int timeoutMs)
{
    socket.connectToHost(QHostAddress::LocalHost, Port);
    return socket.waitForConnected(timeoutMs);
}

bool LoopbackClient::send(const QByteArray &bytes)
{
    if (socket.write(bytes) != bytes.size())
        return false;
    return QTest::qWaitFor([this] { return socket.bytesToWrite() == 0; }, 3000);
}

bool LoopbackClient::finishMessage()
{
    return ::shutdown(int(socket.socketDescriptor()), SHUT_WR) == 0;
}

void LoopbackClient::close()
{
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        waitForDrop(3000);
}

bool LoopbackClient::waitForDrop(int timeoutMs)
{
    return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
}

bool LoopbackClient::isConnected() const
{
    return socket.state() == QAbstractSocket::ConnectedState;
}

qint64 LoopbackClient::droppedAt() const
{
    return dropTime;
}

bool LoopbackClient::waitUntilServing(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    LoopbackClient client;
    while (!client.connectToInstance(int(deadline.remainingTime()))) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return client.send("PING") && client.finishMessage() && client.waitForDrop(int(deadline.remainingTime()));
}
