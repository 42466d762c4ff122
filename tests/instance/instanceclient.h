#pragma once

#include <QLocalSocket>
#include <QObject>

// A raw client of an instance's local socket, behaving as well or as badly as a
// test needs: it can send a message in pieces, end it without closing, or say
// nothing.
class InstanceClient : public QObject
{
    Q_OBJECT

public:
    explicit InstanceClient(const QString &socketPath, QObject *parent = nullptr);

    bool connectToInstance(int timeoutMs = 3000);
    bool send(const QByteArray &bytes);
    // Ends the message but keeps the connection readable, so that the client sees
    // when the instance closes its side.
    bool finishMessage();
    void close();
    // True once the instance has closed the connection.
    bool waitForDrop(int timeoutMs);
    bool isConnected() const;
    // Monotonic time at which the drop was seen, -1 before.
    qint64 droppedAt() const;

    // Waits until a program's event loop answers on its socket: the instance closes
    // a connection once the message on it has ended.
    static bool waitUntilServing(const QString &socketPath, int timeoutMs);

private:
    QString path;
    QLocalSocket socket;
    qint64 dropTime = -1;
};
