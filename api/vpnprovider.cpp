#include "vpnprovider.h"

class VpnProviderData : public QSharedData
{
public:
    bool null = true;
    QString key;
};

VpnProvider::VpnProvider()
    : d(new VpnProviderData)
{
}

VpnProvider::VpnProvider(const VpnProvider &other) = default;
VpnProvider &VpnProvider::operator=(const VpnProvider &other) = default;
VpnProvider::~VpnProvider() = default;

bool VpnProvider::isNull() const { return d->null; }
QString VpnProvider::key() const { return d->key; }

void VpnProvider::setKey(const QString &key)
{
    d->key = key;
    d->null = false;
}

