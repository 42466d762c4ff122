#include "vpnconfiguration.h"

#include "vpnaccount.h"

class VpnConfigurationData : public QSharedData
{
public:
    bool null = true;
    QString username;
    QString password;
    QString preSharedKey;
    Vpn::Protocol protocol = Vpn::OpenVpnTcp;
};

VpnConfiguration::VpnConfiguration()
    : d(new VpnConfigurationData)
{
}

VpnConfiguration::VpnConfiguration(const VpnConfiguration &other) = default;
VpnConfiguration &VpnConfiguration::operator=(const VpnConfiguration &other) = default;
VpnConfiguration::~VpnConfiguration() = default;

bool VpnConfiguration::isNull() const { return d->null; }
QString VpnConfiguration::username() const { return d->username; }
QString VpnConfiguration::password() const { return d->password; }
QString VpnConfiguration::preSharedKey() const { return d->preSharedKey; }
Vpn::Protocol VpnConfiguration::protocol() const { return d->protocol; }

void VpnConfiguration::setUsername(const QString &username)
{
    d->username = username;
    d->null = false;
}

void VpnConfiguration::setPassword(const QString &password)
{
    d->password = password;
    d->null = false;
}

void VpnConfiguration::setPreSharedKey(const QString &preSharedKey)
{
    d->preSharedKey = preSharedKey;
    d->null = false;
}

void VpnConfiguration::setProtocol(Vpn::Protocol protocol)
{
    d->protocol = protocol;
    d->null = false;
}

VpnConfiguration VpnConfiguration::fromAccount(const VpnAccount &account)
{
    VpnConfiguration configuration;
    configuration.d->username = account.username();
    configuration.d->password = account.password();
    configuration.d->preSharedKey = account.sharedSecret();
    configuration.d->null = account.isNull();
    return configuration;
}
