#pragma once

#include "vpnconfiguration.h"
#include "vpnconnection.h"
#include "vpnserver.h"

#include <QObject>

class ConnectionFeedback;
class Context;
class LogManager;
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

    OpenVpn(LogManager *logManager, Context *context, QObject *parent = nullptr);
    ~OpenVpn() override;

    // Where the configuration is written and OpenVPN's log kept: the user's own
    // data folder, which the privileged service reads as root.
    static QString configDirectory();
    static QString logDirectory();
    // The installed programs; empty when missing.
    static QString program();
    static QString stunnelProgram();

    // Ends what a tunnel of an earlier run left behind, as far as its record tells:
    // the service still running, OpenVPN or stunnel outliving a killed program.
    // Blocks until they have ended: seconds, half a minute at worst for a service
    // that is slow to stop. Call at start, before anything connects.
    void endLeftoverTunnel();
    // Puts back the resolver configuration a tunnel killed without its down script
    // left changed; as root only (the service does it for the others when it starts).
    // Blocks for a moment. Call at start, after endLeftoverTunnel().
    void restoreDns();

    // Who sets up a missing tun device with the user; without one, OpenVPN
    // waits until the device exists.
    void setFeedback(ConnectionFeedback *feedback);

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
