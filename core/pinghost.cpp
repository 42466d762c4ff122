#include "pinghost.h"

#include "logmanager.h"

#include <QElapsedTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cmath>

namespace WinUtils {

namespace {

std::atomic<quint16> sequence{0};

quint16 checksum(const void *data, size_t length)
{
    const auto *bytes = static_cast<const quint8 *>(data);
    quint32 sum = 0;
    for (size_t i = 0; i + 1 < length; i += 2)
        sum += quint32(bytes[i] << 8 | bytes[i + 1]);
    if (length % 2)
        sum += quint32(bytes[length - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return htons(quint16(~sum));
}

bool resolve(const QString &host, in_addr *address)
{
    const QByteArray name = host.toLatin1();
    if (inet_pton(AF_INET, name.constData(), address) == 1)
        return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo *result = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &result) != 0 || !result)
        return false;
    *address = reinterpret_cast<sockaddr_in *>(result->ai_addr)->sin_addr;
    freeaddrinfo(result);
    return true;
}

// An unprivileged ping socket where the kernel allows one, a raw socket for root.
int openSocket(bool *raw, int *error)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        *raw = false;
        return fd;
    }
    *error = errno;
    fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        *raw = true;
        return fd;
    }
    return -1;
}

// The echo reply to our request in what was received, if it is one.
const icmphdr *replyIn(const quint8 *data, ssize_t size, bool raw)
{
    if (raw) {
        if (size < ssize_t(sizeof(iphdr)))
            return nullptr;
        const auto *ip = reinterpret_cast<const iphdr *>(data);
        const size_t headerLength = size_t(ip->ihl) * 4;
        if (size < ssize_t(headerLength + sizeof(icmphdr)))
            return nullptr;
        return reinterpret_cast<const icmphdr *>(data + headerLength);
    }
    return size >= ssize_t(sizeof(icmphdr)) ? reinterpret_cast<const icmphdr *>(data) : nullptr;
}

} // namespace

int pingHost(const QString &host, LogManager *log, int timeoutMs)
{
    in_addr address{};
    if (!resolve(host, &address))
        return -1;

    bool raw = false;
    int error = 0;
    const int fd = openSocket(&raw, &error);
    if (fd < 0) {
        if (log) {
            log->addLineWithTimestamp(QStringLiteral("Ping: no ICMP socket can be opened (%1); allow ping sockets with "
                                                     "sysctl net.ipv4.ping_group_range")
                                          .arg(QString::fromLocal8Bit(std::strerror(error))));
        }
        return -1;
    }

    const quint16 id = quint16(::getpid());
    const quint16 seq = ++sequence;
    icmphdr request{};
    request.type = ICMP_ECHO;
    request.code = 0;
    request.un.echo.id = htons(id);
    request.un.echo.sequence = htons(seq);
    request.checksum = checksum(&request, sizeof(request));

    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr = address;

    int result = -1;
    QElapsedTimer clock;
    clock.start();
    if (::sendto(fd, &request, sizeof(request), 0, reinterpret_cast<sockaddr *>(&target), sizeof(target)) >= 0) {
        quint8 buffer[1500];
        for (;;) {
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0)
                break;
            pollfd waiting{fd, POLLIN, 0};
            if (::poll(&waiting, 1, int(left)) <= 0)
                break;
            sockaddr_in from{};
            socklen_t fromLength = sizeof(from);
            const ssize_t size = ::recvfrom(fd, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr *>(&from), &fromLength);
            const icmphdr *reply = replyIn(buffer, size, raw);
            if (!reply || reply->type != ICMP_ECHOREPLY || ntohs(reply->un.echo.sequence) != seq
                || from.sin_addr.s_addr != address.s_addr)
                continue;
            // The kernel sets the identifier of a ping socket's requests itself.
            if (raw && ntohs(reply->un.echo.id) != id)
                continue;
            result = qMax(1, int(std::ceil(double(clock.nsecsElapsed()) / 1e6)));
            if (log) {
                char text[INET_ADDRSTRLEN] = {};
                inet_ntop(AF_INET, &from.sin_addr, text, sizeof(text));
                log->addLineWithTimestamp(QStringLiteral("Ping: Received from %1, status=%2, time=%3 ms")
                                              .arg(QString::fromLatin1(text))
                                              .arg(0)
                                              .arg(result));
            }
            break;
        }
    }
    ::close(fd);
    return result;
}

} // namespace WinUtils
