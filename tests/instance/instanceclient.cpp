#include "instanceclient.h"

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

InstanceClient::InstanceClient(const QString &socketPath, QObject *parent)
    : QObject(parent)
    , path(socketPath)
{
    connect(&socket, &QLocalSocket::disconnected, this, [this] { dropTime = monotonicNow(); });
}

bool InstanceClient::connectToInstance(int timeoutMs)
{
    socket.connectToServer(path);
    return socket.waitForConnected(timeoutMs);
}

bool InstanceClient::send(const QByteArray &bytes)
{
    if (socket.write(bytes) != bytes.size())
        return false;
    return QTest::qWaitFor([this] { return socket.bytesToWrite() == 0; }, 3000);
}

bool InstanceClient::finishMessage()
{
    return ::shutdown(int(socket.socketDescriptor()), SHUT_WR) == 0;
}

void InstanceClient::close()
{
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        waitForDrop(3000);
}

bool InstanceClient::waitForDrop(int timeoutMs)
{
    return QTest::qWaitFor([this] { return socket.state() == QLocalSocket::UnconnectedState; }, timeoutMs);
}

bool InstanceClient::isConnected() const
{
    return socket.state() == QLocalSocket::ConnectedState;
}

qint64 InstanceClient::droppedAt() const
{
    return dropTime;
}

bool InstanceClient::waitUntilServing(const QString &socketPath, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    InstanceClient client(socketPath);
    while (!client.connectToInstance(int(deadline.remainingTime()))) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return client.send("PING") && client.finishMessage() && client.waitForDrop(int(deadline.remainingTime()));
}
