#include "singleapplication.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileOpenEvent>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Folder
{
    QString path; // empty when there is no folder fit for the guard
    uid_t owner = 0;
};

// The folder of this user's guard: $XDG_RUNTIME_DIR, or else a folder of the
// user's own in the temporary folder, named with the user id. Whoever can write
// to the folder could take the guard or stand in for the first instance, so a
// folder others may write to is not used, nor one of another user: root alone may
// use the runtime folder of the user it was started for (an elevated relaunch
// keeps it), so that the user's later starts still find it.
Folder runtimeFolder()
{
    const uid_t self = ::geteuid();
    QByteArray path = qgetenv("XDG_RUNTIME_DIR");
    struct stat status = {};
    if (!path.isEmpty()) {
        if (::stat(path.constData(), &status) != 0 || (status.st_uid != self && self != 0))
            return {};
    } else {
        // In a folder everybody may write to: someone else may have made it first,
        // or left a link to a folder of their choice.
        path = QFile::encodeName(QDir::tempPath()) + "/noxel-" + QByteArray::number(self);
        if (::mkdir(path.constData(), S_IRWXU) != 0 && errno != EEXIST)
            return {};
        if (::lstat(path.constData(), &status) != 0 || status.st_uid != self)
            return {};
    }
    if (!S_ISDIR(status.st_mode) || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return {};
    return { QFile::decodeName(path), status.st_uid };
}

// The effective user of the process at the other end of a local socket.
bool peerUser(qintptr descriptor, uid_t *uid)
{
    struct ucred credentials = {};
    socklen_t size = sizeof(credentials);
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    *uid = credentials.uid;
    return true;
}

} // namespace

SingleApplication::SingleApplication(int &argc, char **argv, const QString &key)
    : QApplication(argc, argv)
    , key(key)
{
    const Folder folder = runtimeFolder();
    if (folder.path.isEmpty()) {
        // Without a safe folder there is no guard: this instance runs on its own.
        qWarning("SingleApplication: no runtime folder of this user's own, running unguarded");
        return;
    }
    folderOwner = folder.owner;
    const QString base
        = folder.path + QLatin1Char('/') + QString(key).replace(QLatin1Char('/'), QLatin1Char('_'));
    socketPath = base + QStringLiteral(".socket");

    // The kernel releases the lock when the holder ends, however it ends, so a
    // crashed instance leaves no guard behind.
    lockFile = ::open(QFile::encodeName(base + QStringLiteral(".lock")).constData(),
        O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, S_IRUSR | S_IWUSR);
    struct stat status = {};
    if (lockFile >= 0
        && (::fstat(lockFile, &status) != 0 || !S_ISREG(status.st_mode) || !isTrusted(status.st_uid))) {
        ::close(lockFile);
        lockFile = -1;
    }
    if (lockFile < 0)
        return;
    // Root in the folder of the user it serves: that user's later starts must be
    // able to open the lock too.
    if (::geteuid() == 0 && status.st_uid != folderOwner && ::fchown(lockFile, folderOwner, gid_t(-1)) != 0) {
        ::close(lockFile);
        lockFile = -1;
        return;
    }
    if (::flock(lockFile, LOCK_EX | LOCK_NB) != 0) {
        running = errno == EWOULDBLOCK;
        ::close(lockFile);
        lockFile = -1;
        return;
    }

    // What a crashed instance left there is no longer served by anyone.
    QLocalServer::removeServer(socketPath);
    server = new QLocalServer(this);
    // Root serving a user's folder must let that user in; the folder keeps others
    // out, and every peer is checked on arrival all the same.
    server->setSocketOptions(
        folderOwner == ::geteuid() ? QLocalServer::UserAccessOption : QLocalServer::WorldAccessOption);
    connect(server, &QLocalServer::newConnection, this, &SingleApplication::receiveMessage);
    if (!server->listen(socketPath))
        qWarning("SingleApplication: cannot listen on %s", qPrintable(socketPath));
}

SingleApplication::~SingleApplication()
{
    // The socket goes before the lock: a start after this finds either a live
    // first instance or none at all.
    if (server)
        server->close();
    if (lockFile >= 0)
        ::close(lockFile);
}

bool SingleApplication::isTrusted(uint uid) const
{
    return uid == ::geteuid() || uid == folderOwner || uid == 0;
}

bool SingleApplication::isRunning() const
{
    return running;
}

bool SingleApplication::sendMessage(const QString &message)
{
    if (!running)
        return false;
    // The first instance takes its lock before it listens, so its socket may still
    // be on the way.
    const QDeadlineTimer deadline(TimeoutMs);
    QLocalSocket socket;
    for (;;) {
        struct stat status = {};
        if (::lstat(QFile::encodeName(socketPath).constData(), &status) == 0) {
            if (!S_ISSOCK(status.st_mode) || !isTrusted(status.st_uid))
                return false;
            socket.connectToServer(socketPath, QIODevice::WriteOnly);
            if (socket.waitForConnected(int(deadline.remainingTime())))
                break;
            socket.abort();
        }
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    uid_t peer = 0;
    if (!peerUser(socket.socketDescriptor(), &peer) || !isTrusted(peer)) {
        socket.abort();
        return false;
    }
    socket.write(message.toUtf8());
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(TimeoutMs))
            return false;
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
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
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        uid_t peer = 0;
        if (!peerUser(socket->socketDescriptor(), &peer) || !isTrusted(peer)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // The sender writes its message and closes; nothing here may block the
        // window while a silent client keeps the connection open.
        const auto received = std::make_shared<QByteArray>();
        auto *timer = new QTimer(socket);
        timer->setSingleShot(true);
        const auto read = [socket, received] { received->append(socket->readAll()); };
        const auto finish = [this, socket, timer, received, read] {
            socket->disconnect();
            timer->stop();
            read();
            if (!received->isEmpty())
                emit messageAvailable(QString::fromUtf8(*received));
            socket->abort();
            socket->deleteLater();
        };
        connect(socket, &QLocalSocket::readyRead, socket, read);
        connect(socket, &QLocalSocket::disconnected, socket, finish);
        connect(timer, &QTimer::timeout, socket, finish);
        timer->start(TimeoutMs);
        if (socket->state() != QLocalSocket::ConnectedState)
            finish();
    }
}
