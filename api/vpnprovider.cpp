#include "vpnprovider.h"

class VpnProviderData : public QSharedData
{
public:
    bool null = true;
    QString key;
};

namespace {

// The record of every null VPN provider until it is changed: a server list brings thousands
// of server records, each made with null parts that its parser then replaces.
const QSharedDataPointer<VpnProviderData> &nullData()
{
    static const QSharedDataPointer<VpnProviderData> data(new VpnProviderData);
    return data;
}

} // namespace

VpnProvider::VpnProvider()
    : d(nullData())
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

