#pragma once

#include "connectionstat.h"
#include "trafficstat.h"
#include "vpnserver.h"

#include <QList>
#include <QObject>

#include <memory>

class LogManager;
class DatabaseManagerPrivate;

// The local database "main.sqlite": a cache of the provider's servers with the
// measurements made here, and an outbox of statistics not yet delivered.
// Statistics that cannot be written stay in memory for the rest of the run.
class DatabaseManager : public QObject
{
    Q_OBJECT

public:
    explicit DatabaseManager(LogManager *logManager, QObject *parent = nullptr);
    ~DatabaseManager() override;

    // Opens (and if needed creates) the database; false when it cannot be used.
    bool open();
    QString fileName() const;

    QList<VpnServer> visibleServers() const;
    // Also finds servers the provider no longer lists.
    VpnServer serverByUid(const QString &uid) const;
    VpnServer lastConnectedServer() const;
    VpnServer fastestServer() const;

    // Stores a fresh list from the provider. Once stored, every server of the list has
    // its row id, and those shown before have their stored ping and ping time.
    bool updateServers(QList<VpnServer> &servers);
    // The same in a thread of its own, for lists too long to store while the window
    // waits: serversStored() hands back the list, as stored when it could be, as it
    // came when not.
    void storeServers(QList<VpnServer> servers);
    void setPing(VpnServer &server, int msecs);
    void setConnectionTime(VpnServer &server);

    bool addStats(const QList<ConnectionStat> &stats);
    QList<ConnectionStat> takeStats();
    // Makes the table hold exactly these rows, in one step; false when it cannot (the
    // rows then live on only where the caller keeps them).
    bool replaceStats(const QList<ConnectionStat> &stats);
    bool addTrafficStats(const QList<TrafficStat> &stats);
    QList<TrafficStat> takeTrafficStats();

signals:
    void serversStored(const QList<VpnServer> &servers);

private:
    std::unique_ptr<DatabaseManagerPrivate> d;
};
