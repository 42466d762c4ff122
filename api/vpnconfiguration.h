#pragma once

#include "vpn.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class VpnAccount;
class VpnConfigurationData;

// What one connection attempt dials with: the VPN account's credentials and the protocol.
class VpnConfiguration
{
public:
    VpnConfiguration();
    VpnConfiguration(const VpnConfiguration &other);
    VpnConfiguration &operator=(const VpnConfiguration &other);
    ~VpnConfiguration();

    bool isNull() const;
    QString username() const;
    QString password() const;
    QString preSharedKey() const;
    Vpn::Protocol protocol() const;

    void setUsername(const QString &username);
    void setPassword(const QString &password);
    void setPreSharedKey(const QString &preSharedKey);
    void setProtocol(Vpn::Protocol protocol);

    // The account's credentials; the protocol is set separately.
    static VpnConfiguration fromAccount(const VpnAccount &account);

private:
    QSharedDataPointer<VpnConfigurationData> d;
};

Q_DECLARE_METATYPE(VpnConfiguration)
