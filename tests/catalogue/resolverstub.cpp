#include "resolverstub.h"

#include <QHash>
#include <QMutex>
#include <QThread>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netdb.h>

#include <atomic>

namespace {

QMutex mutex;
QHash<QString, int> counts;
std::atomic<int> current { 0 };
std::atomic<int> highest { 0 };

using GetAddrInfo = int (*)(const char *, const char *, const addrinfo *, addrinfo **);

int systemLookup(const char *node, const char *service, const addrinfo *hints, addrinfo **res)
{
    static const auto next = reinterpret_cast<GetAddrInfo>(dlsym(RTLD_NEXT, "getaddrinfo"));
    return next ? next(node, service, hints, res) : EAI_FAIL;
}

bool isNumeric(const char *node)
{
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, node, buffer) == 1 || inet_pton(AF_INET6, node, buffer) == 1;
}

int stubLookup(const char *node, const char *service, const addrinfo *hints, addrinfo **res)
{
    const QString name = QString::fromLatin1(node);
    if (isNumeric(node) || name == QLatin1String("localhost"))
        return systemLookup(node, service, hints, res);
    if (name.endsWith(QLatin1String(".slow.test"))) {
        QThread::msleep(name.section(QLatin1Char('-'), 0, 0).toULong());
        return EAI_NONAME;
    }
    if (name.endsWith(QLatin1String(".loop.test"))) {
        bool ok = false;
        const int host = name.section(QLatin1Char('.'), 0, 0).toInt(&ok);
        if (!ok || host < 1 || host > 254)
            return EAI_NONAME;
        QThread::msleep(ResolverStub::LoopDelayMs);
        const QByteArray address = "127.0.0." + QByteArray::number(host);
        return systemLookup(address.constData(), service, hints, res);
    }
    return EAI_NONAME;
}

} // namespace

extern "C" int getaddrinfo(const char *node, const char *service, const addrinfo *hints, addrinfo **res)
{
    if (!node)
        return systemLookup(node, service, hints, res);
    {
        QMutexLocker locker(&mutex);
        ++counts[QString::fromLatin1(node)];
    }
    const int now = ++current;
    int seen = highest.load();
    while (now > seen && !highest.compare_exchange_weak(seen, now)) { }
    const int result = stubLookup(node, service, hints, res);
    --current;
    return result;
}

namespace ResolverStub {

int lookups(const QString &name)
{
    QMutexLocker locker(&mutex);
    return counts.value(name);
}

int maxInFlight()
{
    return highest.load();
}

int inFlight()
{
    return current.load();
}

void reset()
{
    QMutexLocker locker(&mutex);
    counts.clear();
    highest = current.load();
}

} // namespace ResolverStub
