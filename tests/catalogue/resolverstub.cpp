#include "resolverstub.h"

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QThread>
#include <QWaitCondition>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netdb.h>

#include <atomic>

namespace {

QMutex mutex;
QHash<QString, int> counts;
QStringList lookupLog;
// A held lookup goes on once its name is released or reset() moved to a new generation.
QWaitCondition releasedChanged;
QSet<QString> released;
bool allReleased = false;
quint64 generation = 0;
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
    if (name.endsWith(QLatin1String(".held.test"))) {
        {
            QMutexLocker locker(&mutex);
            const quint64 started = generation;
            while (!allReleased && !released.contains(name) && generation == started)
                releasedChanged.wait(&mutex);
        }
        const QByteArray address
            = name.section(QLatin1Char('.'), 0, 0).replace(QLatin1Char('-'), QLatin1Char('.')).toLatin1();
        return isNumeric(address.constData()) ? systemLookup(address.constData(), service, hints, res)
                                              : EAI_NONAME;
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
    const QString name = QString::fromLatin1(node);
    {
        QMutexLocker locker(&mutex);
        ++counts[name];
        lookupLog.append(QLatin1Char('+') + name);
    }
    const int now = ++current;
    int seen = highest.load();
    while (now > seen && !highest.compare_exchange_weak(seen, now)) { }
    const int result = stubLookup(node, service, hints, res);
    {
        // Before the count drops, so that a lookup seen ended is in the log.
        QMutexLocker locker(&mutex);
        lookupLog.append(QLatin1Char('-') + name);
    }
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
    lookupLog.clear();
    released.clear();
    allReleased = false;
    ++generation;
    releasedChanged.wakeAll();
    highest = current.load();
}

void release(const QString &name)
{
    QMutexLocker locker(&mutex);
    if (name.isEmpty())
        allReleased = true;
    else
        released.insert(name);
    releasedChanged.wakeAll();
}

QStringList events()
{
    QMutexLocker locker(&mutex);
    return lookupLog;
}

} // namespace ResolverStub
