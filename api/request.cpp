#include "request.h"

#include "xmltext.h"

#include <QDateTime>
#include <QMutex>
#include <QReadWriteLock>
#include <QXmlStreamWriter>

namespace {

QMutex serialMutex;
qint64 lastSerial = 0;

} // namespace

class RequestPrivate
{
public:
    mutable QReadWriteLock lock;
    qint64 serial = 0;
    bool sent = false;
    bool authenticated = false;
    bool failed = true;
    int sentAt = 0;
    int answeredAt = 0;
    QString username;
    QString password;
    QString errorString;
    QList<ConnectionStat> stats;
    QList<TrafficStat> trafficStats;
};

Request::Request()
    : d(new RequestPrivate)
{
    QMutexLocker locker(&serialMutex);
    d->serial = ++lastSerial;
}

Request::~Request() = default;

NetworkAddress Request::address() const
{
    return NetworkAddress();
}

bool Request::requiresLogin() const
{
    return true;
}

void Request::setCredentials(const QString &username, const QString &password)
{
    QWriteLocker locker(&d->lock);
    d->username = username;
    d->password = password;
}

QString Request::username() const
{
    QReadLocker locker(&d->lock);
    return d->username;
}

QString Request::password() const
{
    QReadLocker locker(&d->lock);
    return d->password;
}

void Request::setStats(const QList<ConnectionStat> &stats)
{
    QWriteLocker locker(&d->lock);
    d->stats = stats;
}

QList<ConnectionStat> Request::stats() const
{
    QReadLocker locker(&d->lock);
    return d->stats;
}

void Request::setTrafficStats(const QList<TrafficStat> &stats)
{
    QWriteLocker locker(&d->lock);
    d->trafficStats = stats;
}

QList<TrafficStat> Request::trafficStats() const
{
    QReadLocker locker(&d->lock);
    return d->trafficStats;
}

bool Request::isSent() const
{
    QReadLocker locker(&d->lock);
    return d->sent;
}

void Request::setSent(bool sent)
{
    QWriteLocker locker(&d->lock);
    d->sent = sent;
}

bool Request::isAuthenticated() const
{
    QReadLocker locker(&d->lock);
    return d->authenticated;
}

void Request::setAuthenticated(bool authenticated)
{
    QWriteLocker locker(&d->lock);
    d->authenticated = authenticated;
}

bool Request::isFailed() const
{
    QReadLocker locker(&d->lock);
    return d->failed;
}

void Request::setFailed(bool failed)
{
    QWriteLocker locker(&d->lock);
    d->failed = failed;
}

QString Request::errorString() const
{
    QReadLocker locker(&d->lock);
    return d->errorString;
}

void Request::setErrorString(const QString &errorString)
{
    QWriteLocker locker(&d->lock);
    d->errorString = errorString;
}

qint64 Request::serial() const
{
    return d->serial;
}

int Request::sentAt() const
{
    QReadLocker locker(&d->lock);
    return d->sentAt;
}

void Request::setSentAt(int msecs)
{
    QWriteLocker locker(&d->lock);
    d->sentAt = msecs;
}

int Request::answeredAt() const
{
    QReadLocker locker(&d->lock);
    return d->answeredAt;
}

void Request::setAnsweredAt(int msecs)
{
    QWriteLocker locker(&d->lock);
    d->answeredAt = msecs;
}

void Request::writeStats(QXmlStreamWriter &writer) const
{
    const QList<ConnectionStat> connectionStats = stats();
    const QList<TrafficStat> traffic = trafficStats();
    if (!connectionStats.isEmpty()) {
        writer.writeStartElement(QStringLiteral("stats"));
        for (const ConnectionStat &stat : connectionStats) {
            writer.writeStartElement(QStringLiteral("stat"));
            writer.writeAttribute(QStringLiteral("suid"), stat.serverUid());
            writer.writeAttribute(QStringLiteral("e"), stat.isElevated() ? QStringLiteral("1") : QStringLiteral("0"));
            writer.writeAttribute(QStringLiteral("p"), Vpn::GetProtocolKey(stat.protocol()));
            writer.writeAttribute(QStringLiteral("s"), QString::number(stat.status()));
            writer.writeAttribute(QStringLiteral("l"), QString::number(stat.ping()));
            writer.writeAttribute(QStringLiteral("c"), QString::number(stat.capacity()));
            writer.writeAttribute(QStringLiteral("t"), QString::number(stat.timestamp()));
            if (stat.status() != ConnectionStat::Connected)
                writer.writeCDATA(XmlText::sanitized(stat.text()));
            writer.writeEndElement();
        }
        writer.writeEndElement();
    }
    if (!traffic.isEmpty()) {
        writer.writeStartElement(QStringLiteral("tstats"));
        for (const TrafficStat &stat : traffic) {
            writer.writeStartElement(QStringLiteral("tstat"));
            writer.writeAttribute(QStringLiteral("t"), QString::number(stat.date().startOfDay().toSecsSinceEpoch()));
            writer.writeAttribute(QStringLiteral("suid"), stat.serverUid());
            writer.writeAttribute(QStringLiteral("p"), Vpn::GetProtocolKey(stat.protocol()));
            writer.writeAttribute(QStringLiteral("u"), QString::number(stat.up()));
            writer.writeAttribute(QStringLiteral("d"), QString::number(stat.down()));
            writer.writeEndElement();
        }
        writer.writeEndElement();
    }
}
