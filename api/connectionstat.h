#pragma once

#include "vpn.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class ConnectionStatData;

// One connection attempt as reported to the provider.
class ConnectionStat
{
public:
    ConnectionStat();
    ConnectionStat(const ConnectionStat &other);
    ConnectionStat &operator=(const ConnectionStat &other);
    ~ConnectionStat();

    bool isNull() const;
    bool isElevated() const;
    QString serverUid() const;
    Vpn::Protocol protocol() const;
    int status() const;
    int ping() const;
    int capacity() const;
    QString text() const;
    qint64 timestamp() const;

    void setElevated(bool elevated);
    void setServerUid(const QString &serverUid);
    void setProtocol(Vpn::Protocol protocol);
    void setStatus(int status);
    void setPing(int ping);
    void setCapacity(int capacity);
    void setText(const QString &text);
    void setTimestamp(qint64 timestamp);

    // Result codes of an attempt.
    enum Status {
        Connected = 0,
        Refused = 1,
        TimedOut = 2,
        Broken = 3,
        Failed = 4,
    };

private:
    QSharedDataPointer<ConnectionStatData> d;
};

Q_DECLARE_METATYPE(ConnectionStat)
