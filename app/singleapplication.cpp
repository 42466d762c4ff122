#include "singleapplication.h"

#include <QFileOpenEvent>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <csignal>

#include <sys/types.h>

namespace {

// The guard holds the process id of the first instance, so that a guard left
// behind by a crash can be told from a live one.
struct GuardData
{
    qint64 pid;
};

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace

SingleApplication::SingleApplication(int &argc, char **argv, const QString &key)
    : QApplication(argc, argv)
    , key(key)
{
    sharedMemory.setKey(key);
    if (attachToLiveGuard()) {
        running = true;
        return;
    }
    running = false;
    if (!sharedMemory.create(sizeof(GuardData), QSharedMemory::ReadWrite))
        return;
    sharedMemory.lock();
    static_cast<GuardData *>(sharedMemory.data())->pid = QCoreApplication::applicationPid();
    sharedMemory.unlock();

    server = new QTcpServer(this);
    connect(server, &QTcpServer::newConnection, this, &SingleApplication::receiveMessage);
    server->listen(QHostAddress::LocalHost, Port);
}

SingleApplication::~SingleApplication() = default;

bool SingleApplication::attachToLiveGuard()
{
    if (!sharedMemory.attach(QSharedMemory::ReadWrite))
        return false;
    qint64 pid = 0;
    if (sharedMemory.size() >= int(sizeof(GuardData))) {
        sharedMemory.lock();
        pid = static_cast<const GuardData *>(sharedMemory.constData())->pid;
        sharedMemory.unlock();
    }
    if (processAlive(pid))
        return true;
    // A crashed instance left its guard behind. Detaching as the last user removes
    // the segment, so that this instance can create a fresh one.
    sharedMemory.detach();
    return false;
}

bool SingleApplication::isRunning() const
{
    return running;
}

bool SingleApplication::sendMessage(const QString &message)
{
    if (!running)
        return false;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, Port, QIODevice::WriteOnly);
    if (!socket.waitForConnected(TimeoutMs))
        return false;
    socket.write(message.toUtf8());
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(TimeoutMs))
            return false;
    }
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(TimeoutMs);
    return true;
}

bool SingleApplication::event(QEvent *event)
{
    if (event->type() == QEvent::FileOpen) {
        emit fileOpenRequest(static_cast<QFileOpenEvent *>(event)->file());
        return true;
    }
    return QApplication::event(event);
}

void SingleApplication::receiveMessage()
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        // The sender writes its message and closes; nothing here may block the
        // window while a silent client keeps the connection open.
        auto *timer = new QTimer(socket);
        timer->setSingleShot(true);
        const auto finish = [this, socket, timer] {
            socket->disconnect();
            timer->stop();
            const QByteArray received = socket->readAll();
            if (!received.isEmpty())
                emit messageAvailable(QString::fromUtf8(received));
            socket->abort();
            socket->deleteLater();
        };
        connect(socket, &QTcpSocket::disconnected, socket, finish);
        connect(timer, &QTimer::timeout, socket, finish);
        timer->start(TimeoutMs);
        if (socket->state() != QAbstractSocket::ConnectedState)
            finish();
    }
}
