#pragma once

#include "connectionstat.h"
#include "geoip.h"
#include "vpnconfiguration.h"
#include "vpnconnection.h"
#include "vpnserver.h"

#include <QList>
#include <QObject>

#include <memory>

class Configuration;
class ConnectionFeedback;
class Context;
class DatabaseManager;
class LogManager;
class OpenVpn;
class RasVpn;
class TrafficManager;
class VpnClientPrivate;
class VpnManager;

// Runs VPN connections one attempt at a time: queues the attempt, hands it to
// the driver of its protocol, times it out, counts failures per protocol family
// and keeps a statistics row for the provider about every attempt.
class VpnClient : public QObject
{
    Q_OBJECT

public:
    VpnClient(LogManager *logManager, Configuration *configuration, Context *context, DatabaseManager *database,
              VpnManager *manager, QObject *parent = nullptr);
    ~VpnClient() override;

    // False when refused: no driver, or already connected there with that protocol.
    bool connectToServer(const VpnServer &server, const VpnConfiguration &configuration);
    void disconnect();

    VpnConnection::State state() const;
    // The server of the current connection; null when there is none. Any thread.
    VpnServer currentServer() const;
    VpnConfiguration currentConfiguration() const;
    bool hasConnection() const;
    int connectedSeconds() const;
    // Grows with every connect, open, disconnect and state change.
    int changeCounter() const;
    bool isAutoConnecting() const;
    // The protocol to use when the user has not chosen one.
    Vpn::Protocol defaultProtocol() const;

    void loadFailures();
    // Keeps the failure counters for the next run and ends both drivers.
    void saveFailures();
    // Failures counted per family: OpenVPN (TCP and Stealth), L2TP, PPTP.
    int failures(Vpn::Protocol protocol) const;

    // Statistics rows waiting to be sent; any thread.
    void addStats(const QList<ConnectionStat> &stats);
    QList<ConnectionStat> takeStats();
    // A copy of the rows waiting, which stay.
    QList<ConnectionStat> stats() const;

    TrafficManager *trafficManager() const;
    OpenVpn *openVpn() const;
    RasVpn *rasVpn() const;
    void setFeedback(ConnectionFeedback *feedback);

public slots:
    // The provider's API keeps failing while the current connection is up: that
    // connection is judged broken. Its statistics rows still waiting say so, and it
    // counts as one failure however often it is reported.
    void reportConnectivityFailure();
    // Where the user is without the VPN; auto-connect waits for it.
    void setOriginalIp(const GeoIp &geoIp);

signals:
    void vpnConnectionStateChanged(VpnConnection::State state);
    void vpnConnectionStateStringChanged(const QString &stateString);
    // The attempt or connection in hand changed; null when there is none.
    void currentServerChanged(const VpnServer &server);
    // A statistics row was recorded, or rows waiting were rewritten.
    void statsChanged();

private slots:
    void openNextConnection();
    void tryAutoConnectToServer();
    void stateChanged(VpnConnection::State state);
    void openVpnStateStringChanged(const QString &state);
    void connectionError(const VpnServer &server, const VpnConfiguration &config, const QString &errorMessage);
    void timeout();
    void showNextError();
    void addOpenVpnByteCount(qlonglong in, qlonglong out);
    void addRasVpnByteCount(qlonglong in, qlonglong out);

private:
    std::unique_ptr<VpnClientPrivate> d;
};
