#pragma once

#include "vpn.h"

#include <QDate>
#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class TrafficStatData;

// Bytes moved over one server and protocol on one day.
class TrafficStat
{
public:
    TrafficStat();
    TrafficStat(const TrafficStat &other);
    TrafficStat &operator=(const TrafficStat &other);
    ~TrafficStat();

    bool isNull() const;
    QDate date() const;
    QString serverUid() const;
    Vpn::Protocol protocol() const;
    qint64 up() const;
    qint64 down() const;

    void setDate(const QDate &date);
    void setServerUid(const QString &serverUid);
    void setProtocol(Vpn::Protocol protocol);
    void setUp(qint64 up);
    void setDown(qint64 down);

private:
    QSharedDataPointer<TrafficStatData> d;
};

Q_DECLARE_METATYPE(TrafficStat)
