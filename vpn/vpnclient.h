#pragma once

#include "vpnconnection.h"
#include "vpnserver.h"

#include <QObject>

#include <memory>

class Core;
class VpnClientPrivate;

// Runs VPN connections one attempt at a time and keeps their statistics.
class VpnClient : public QObject
{
    Q_OBJECT

public:
    explicit VpnClient(Core *core);
    ~VpnClient() override;

    // The server of the current connection; null when there is none. Any thread.
    VpnServer currentServer() const;

signals:
    void vpnConnectionStateChanged(VpnConnection::State state);

public slots:
    // The provider's API keeps failing while the current connection is up: that
    // connection is judged broken.
    void reportConnectivityFailure();

private:
    std::unique_ptr<VpnClientPrivate> d;
};
