#pragma once

#include "geoip.h"
#include "vpnserver.h"

#include <QObject>

#include <memory>

class Context;
class DatabaseManager;
class LogManager;
class NetworkManager;
class VpnManagerPrivate;

// The server catalogue: the list of VPN servers, refreshed from the provider,
// pinged in rounds, and the rules that choose a server.
class VpnManager : public QObject
{
    Q_OBJECT

public:
    VpnManager(LogManager *logManager, Context *context, NetworkManager *networkManager, DatabaseManager *database,
               QObject *parent = nullptr);
    ~VpnManager() override;

    // Loads the servers kept in the database; called once at start-up.
    void load();

    int count() const;
    VpnServer server(int index) const;
    VpnServer serverById(qint64 id) const;
    int indexOf(const QString &uid) const;
    bool hasServers() const;

    // The provider's list has arrived at least once.
    bool isLoaded() const;
    // Every server has a fresh ping.
    bool isReady() const;
    int pingInterval() const;

    // The best measured server by ping and free capacity; null when none is measured.
    VpnServer bestServer() const;
    // The server nearest to the user's own location; null when that is unknown.
    VpnServer nearestServer() const;
    // False for a server under high load or too far away in ping.
    bool isAcceptable(const VpnServer &server) const;
    // The nearest acceptable server to a loaded one's location; null when none.
    VpnServer alternativeServer(const VpnServer &server) const;

public slots:
    // False when a refresh is already under way.
    bool updateVpnServers();
    // The provider's variables changed: the ping interval may have.
    void variablesUpdated();
    // No pings run while a VPN connection is in hand (being made, up or being
    // closed); a round starts once it has ended.
    void setTunnelActive(bool active);
    // Where the user is without the VPN; nearestServer() measures from there.
    void setOriginalIp(const GeoIp &geoIp);

signals:
    void readyConnect();
    void vpnServersChanged();
    void vpnServerChanged(int index);

private slots:
    void vpnServersRequestFinished();
    void serversStored(const QList<VpnServer> &servers);
    void updateNextPings();
    void pingCompleted(const QString &host, int msecs);

private:
    // Installs a new list; measurements of servers already known carry over.
    void replaceServers(const QList<VpnServer> &servers);
    // The lookups by uid and by address, after the list changed.
    void rebuildIndices();

    std::unique_ptr<VpnManagerPrivate> d;
};
