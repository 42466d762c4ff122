#include "trafficstat.h"

class TrafficStatData : public QSharedData
{
public:
    bool null = true;
    QDate date;
    QString serverUid;
    Vpn::Protocol protocol = Vpn::OpenVpnUdp;
    qint64 up = 0;
    qint64 down = 0;
};

TrafficStat::TrafficStat()
    : d(new TrafficStatData)
{
}

TrafficStat::TrafficStat(const TrafficStat &other) = default;
TrafficStat &TrafficStat::operator=(const TrafficStat &other) = default;
TrafficStat::~TrafficStat() = default;

bool TrafficStat::isNull() const { return d->null; }
QDate TrafficStat::date() const { return d->date; }
QString TrafficStat::serverUid() const { return d->serverUid; }
Vpn::Protocol TrafficStat::protocol() const { return d->protocol; }
qint64 TrafficStat::up() const { return d->up; }
qint64 TrafficStat::down() const { return d->down; }

void TrafficStat::setDate(const QDate &date)
{
    d->date = date;
    d->null = false;
}

void TrafficStat::setServerUid(const QString &serverUid)
{
    d->serverUid = serverUid;
    d->null = false;
}

void TrafficStat::setProtocol(Vpn::Protocol protocol)
{
    d->protocol = protocol;
    d->null = false;
}

void TrafficStat::setUp(qint64 up)
{
    d->up = up;
    d->null = false;
}

void TrafficStat::setDown(qint64 down)
{
    d->down = down;
    d->null = false;
}

