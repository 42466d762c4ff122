#pragma once

#include "vpnconfiguration.h"
#include "vpnconnection.h"
#include "vpnserver.h"

#include <QObject>

class Core;
class OpenVpnPrivate;

// Runs one OpenVPN tunnel at a time (UDP, TCP, or Stealth through a local
// stunnel): writes the configuration from the provider's resources, starts
// OpenVPN as a child when running as root and through the privileged service
// otherwise, and drives it over its management interface.
class OpenVpn : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 ManagementPort = 1111;
    static constexpr quint16 StealthPort = 1081;

    explicit OpenVpn(Core *core);
    ~OpenVpn() override;

    // Whether OpenVPN over UDP or TCP can start now; false while the tun device
    // still has to be set up.
    bool isReady();
    // Starts an attempt; false when refused.
    bool open(const VpnServer &server, const VpnConfiguration &configuration);
    void disconnect();

signals:
    // The driver is free again: the tunnel ended, or a preparation finished.
    void processFinished();
    void stateChanged(VpnConnection::State state);
    void stateStringChanged(const QString &state);
    // Bytes since the previous report.
    void byteCount(qlonglong in, qlonglong out);
    void connectionError(const VpnServer &server, const VpnConfiguration &config, const QString &errorMessage);

private:
    OpenVpnPrivate *d;
};
