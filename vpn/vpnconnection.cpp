#include "vpnconnection.h"

class VpnConnectionData : public QSharedData
{
public:
    bool null = true;
    VpnConnection::State state = VpnConnection::Disconnected;
    VpnServer server;
    VpnConfiguration configuration;
};

VpnConnection::VpnConnection()
    : d(new VpnConnectionData)
{
}

VpnConnection::VpnConnection(const VpnConnection &other) = default;
VpnConnection &VpnConnection::operator=(const VpnConnection &other) = default;
VpnConnection::~VpnConnection() = default;

bool VpnConnection::isNull() const { return d->null; }
VpnConnection::State VpnConnection::state() const { return d->state; }
VpnServer VpnConnection::server() const { return d->server; }
VpnConfiguration VpnConnection::configuration() const { return d->configuration; }

void VpnConnection::setState(State state)
{
    d->state = state;
    d->null = false;
}

void VpnConnection::setServer(const VpnServer &server)
{
    d->server = server;
    d->null = false;
}

void VpnConnection::setConfiguration(const VpnConfiguration &configuration)
{
    d->configuration = configuration;
    d->null = false;
}

