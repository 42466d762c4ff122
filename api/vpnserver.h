#pragma once

#include "country.h"
#include "location.h"
#include "vpnprovider.h"

#include <QDateTime>
#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class LocalTimeReader;
class QXmlStreamReader;
class VpnServerData;

// One VPN server location. Its identity is the provider's uid.
class VpnServer
{
public:
    VpnServer();
    VpnServer(const VpnServer &other);
    VpnServer &operator=(const VpnServer &other);
    ~VpnServer();

    bool isNull() const;
    qint64 id() const;
    QString uid() const;
    int provider() const;
    Country country() const;
    Location location() const;
    QString host() const;
    QString address() const;
    QString stealthAddress() const;
    quint16 stealthPort() const;
    quint16 capacity() const;
    quint16 capacityIndicator() const;
    int ping() const;
    int distance() const;
    QDateTime connectionTime() const;
    QDateTime pingTime() const;
    VpnProvider vpnProvider() const;
    int checkResult() const;
    QDateTime checkTime() const;

    void setId(qint64 id);
    void setUid(const QString &uid);
    void setProvider(int provider);
    void setCountry(const Country &country);
    void setLocation(const Location &location);
    void setHost(const QString &host);
    void setAddress(const QString &address);
    void setStealthAddress(const QString &stealthAddress);
    void setStealthPort(quint16 stealthPort);
    void setCapacity(quint16 capacity);
    void setCapacityIndicator(quint16 capacityIndicator);
    void setPing(int ping);
    void setDistance(int distance);
    void setConnectionTime(const QDateTime &connectionTime);
    void setPingTime(const QDateTime &pingTime);
    void setVpnProvider(const VpnProvider &vpnProvider);
    void setCheckResult(int checkResult);
    void setCheckTime(const QDateTime &checkTime);

    // Capacity and capacity indicator when the provider does not know them.
    static constexpr quint16 UnknownCapacity = 65535;

    // Reads a "vpn-server" element of the provider's server list; the reader of local
    // times serves all servers of the list.
    static VpnServer fromXml(QXmlStreamReader &reader);
    static VpnServer fromXml(QXmlStreamReader &reader, LocalTimeReader &times);

private:
    QSharedDataPointer<VpnServerData> d;
};

Q_DECLARE_METATYPE(VpnServer)
