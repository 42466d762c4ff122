#include "fixedport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringList>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Ports found taken for the whole of a wait: whoever holds them is not letting go.
QSet<quint16> givenUp;

// Binds and listens as the programs do (SO_REUSEADDR, as QTcpServer sets it, so that
// connections still in TIME_WAIT do not count).
bool canListen(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok
        = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 && ::listen(fd, 1) == 0;
    ::close(fd);
    return ok;
}

struct Socket
{
    QString inode;
    QString uid;
};

// The sockets of this network namespace bound to the port, from /proc/net/tcp{,6}.
QList<Socket> socketsOn(quint16 port)
{
    QList<Socket> found;
    const QString suffix = QStringLiteral(":%1").arg(port, 4, 16, QLatin1Char('0')).toUpper();
    for (const QString &table : { QStringLiteral("/proc/net/tcp"), QStringLiteral("/proc/net/tcp6") }) {
        QFile file(table);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine();
        while (!file.atEnd()) {
            const QStringList fields
                = QString::fromLatin1(file.readLine()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (fields.size() > 9 && fields.at(1).toUpper().endsWith(suffix)
                && fields.at(9) != QLatin1String("0"))
                found.append({ fields.at(9), fields.at(7) });
        }
    }
    return found;
}

QString commandOf(const QString &pid)
{
    QFile file(QStringLiteral("/proc/%1/comm").arg(pid));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).trimmed() : QString();
}

qint64 parentOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = file.readAll();
    // The command may hold spaces and parentheses; the fields after it do not.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(1).toLongLong();
}

bool isThisTestOrChild(qint64 pid)
{
    const qint64 self = QCoreApplication::applicationPid();
    for (int depth = 0; pid > 1 && depth < 64; ++depth, pid = parentOf(pid)) {
        if (pid == self)
            return true;
    }
    return false;
}

// The processes holding the sockets, found by the sockets' inodes among their files.
QList<qint64> processesWith(const QList<Socket> &sockets)
{
    QSet<QString> links;
    for (const Socket &socket : sockets)
        links.insert(QStringLiteral("socket:[%1]").arg(socket.inode));
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        const QString fdDir = QStringLiteral("/proc/%1/fd").arg(entry);
        const QStringList fds = QDir(fdDir).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : fds) {
            if (links.contains(
                    QFile::symLinkTarget(fdDir + QLatin1Char('/') + fd).section(QLatin1Char('/'), -1))) {
                pids.append(pid);
                break;
            }
        }
    }
    return pids;
}

// "name (pid N)" for each process, or what /proc tells of sockets nobody visible holds.
QString describe(const QList<Socket> &sockets, const QList<qint64> &pids)
{
    QStringList names;
    for (const qint64 pid : pids)
        names.append(QStringLiteral("%1 (pid %2)").arg(commandOf(QString::number(pid))).arg(pid));
    if (!names.isEmpty())
        return names.join(QLatin1String(", "));
    QStringList unseen;
    for (const Socket &socket : sockets)
        unseen.append(QStringLiteral("socket inode %1 of uid %2").arg(socket.inode, socket.uid));
    return unseen.isEmpty()
        ? QString()
        : QStringLiteral("a process this user cannot see (%1)").arg(unseen.join(QLatin1String(", ")));
}

} // namespace

namespace FixedPort {

QString holders(quint16 port)
{
    const QList<Socket> sockets = socketsOn(port);
    return sockets.isEmpty() ? QString() : describe(sockets, processesWith(sockets));
}

Wait waitUntilFree(quint16 port, int milliseconds)
{
    Wait wait;
    const bool waitedBefore = givenUp.contains(port);
    const QDeadlineTimer deadline(waitedBefore ? 0 : milliseconds);
    while (!(wait.free = canListen(port)) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    if (wait.free) {
        givenUp.remove(port);
        return wait;
    }
    givenUp.insert(port);
    const QList<Socket> sockets = socketsOn(port);
    const QList<qint64> pids = processesWith(sockets);
    for (const qint64 pid : pids)
        wait.heldByThisTest = wait.heldByThisTest || isThisTestOrChild(pid);
    const QString who = describe(sockets, pids);
    wait.reason = QStringLiteral("127.0.0.1:%1 %2, by %3")
                      .arg(port)
                      .arg(waitedBefore ? QStringLiteral("is still taken")
                                        : QStringLiteral("stayed taken for %1 s").arg(milliseconds / 1000))
                      .arg(who.isEmpty() ? QStringLiteral("an unknown holder") : who);
    if (wait.heldByThisTest)
        wait.reason += QStringLiteral(": a leftover of this test");
    return wait;
}

} // namespace FixedPort
