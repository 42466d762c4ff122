#pragma once

#include "vpnconnection.h"
#include "vpnserver.h"

#include <QObject>

#include <memory>

class Core;
class VpnManagerPrivate;

// The server catalogue: the list of VPN servers, refreshed from the provider,
// pinged in rounds, and the rules that choose a server.
class VpnManager : public QObject
{
    Q_OBJECT

public:
    explicit VpnManager(Core *core);
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

signals:
    void readyConnect();
    void vpnServersChanged();
    void vpnServerChanged(int index);

private slots:
    void variablesUpdated();
    void vpnServersRequestFinished();
    void vpnConnectionStateChanged(VpnConnection::State state);
    void updateNextPings();
    void pingCompleted(const QString &host, int msecs);

private:
    // Installs a new list; measurements of servers already known carry over.
    void replaceServers(const QList<VpnServer> &servers);

    std::unique_ptr<VpnManagerPrivate> d;
};
