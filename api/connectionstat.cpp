#include "connectionstat.h"

class ConnectionStatData : public QSharedData
{
public:
    bool null = true;
    bool elevated = false;
    QString serverUid;
    Vpn::Protocol protocol = Vpn::OpenVpnUdp;
    int status = 2;
    int ping = -1;
    int capacity = -1;
    QString text;
    qint64 timestamp = 0;
};

ConnectionStat::ConnectionStat()
    : d(new ConnectionStatData)
{
}

ConnectionStat::ConnectionStat(const ConnectionStat &other) = default;
ConnectionStat &ConnectionStat::operator=(const ConnectionStat &other) = default;
ConnectionStat::~ConnectionStat() = default;

bool ConnectionStat::isNull() const { return d->null; }
bool ConnectionStat::isElevated() const { return d->elevated; }
QString ConnectionStat::serverUid() const { return d->serverUid; }
Vpn::Protocol ConnectionStat::protocol() const { return d->protocol; }
int ConnectionStat::status() const { return d->status; }
int ConnectionStat::ping() const { return d->ping; }
int ConnectionStat::capacity() const { return d->capacity; }
QString ConnectionStat::text() const { return d->text; }
qint64 ConnectionStat::timestamp() const { return d->timestamp; }

void ConnectionStat::setElevated(bool elevated)
{
    d->elevated = elevated;
    d->null = false;
}

void ConnectionStat::setServerUid(const QString &serverUid)
{
    d->serverUid = serverUid;
    d->null = false;
}

void ConnectionStat::setProtocol(Vpn::Protocol protocol)
{
    d->protocol = protocol;
    d->null = false;
}

void ConnectionStat::setStatus(int status)
{
    d->status = status;
    d->null = false;
}

void ConnectionStat::setPing(int ping)
{
    d->ping = ping;
    d->null = false;
}

void ConnectionStat::setCapacity(int capacity)
{
    d->capacity = capacity;
    d->null = false;
}

void ConnectionStat::setText(const QString &text)
{
    d->text = text;
    d->null = false;
}

void ConnectionStat::setTimestamp(qint64 timestamp)
{
    d->timestamp = timestamp;
    d->null = false;
}

