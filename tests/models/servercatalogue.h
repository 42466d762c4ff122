#pragma once

#include "providersimulator.h"
#include "userstatus.h"

#include <QList>
#include <QMetaType>
#include <QString>

#include <memory>

class Core;
class VpnManager;

// A real Core in the test's temporary home whose catalogue holds chosen servers.
// Pings and stored distances reach the catalogue through the database. Capacities,
// stealth endpoints and provider keys exist only in the provider's list, so a
// catalogue made with them fetches that list from the provider simulator once the
// database is loaded; a refresh keeps the pings but not the stored distances.
class ServerCatalogue
{
public:
    enum Source { Database, Provider };

    struct Server
    {
        QString uid;
        QString countryCode;
        QString countryName;
        QString location;
        QString address; // loopback, because the catalogue pings servers
        int capacity = -1; // -1: absent from the list, so unknown
        int indicator = -1;
        int ping = -1; // stored as measured; -1 is a ping without answer
        bool pinged = true; // false: nothing stored, so the catalogue pings it at once
        int distance = 0; // stored distance in metres
        bool stealth = false;
        QString provider;
    };

    ServerCatalogue(const QList<Server> &servers, Source source);
    ~ServerCatalogue();

    // The catalogue holds the servers in the given order.
    bool isValid() const;
    Core *core() const;
    VpnManager *manager() const;

    // Replaces the catalogue with other servers from the database. The database
    // lists servers in the order it first stored them, so only new uids follow the
    // order given; false when the catalogue's order differs from it.
    bool reload(const QList<Server> &servers);
    // Tells the models about the account as a status answer would.
    void setAccount(bool stealth, bool admin);

    static UserStatus userStatus(bool stealth, bool admin);
    // A server with the country and location named, and the next loopback address.
    static Server server(
        const QString &uid, const QString &countryCode, const QString &countryName, const QString &location);

private:
    bool store(const QList<Server> &servers);
    bool fetchFromProvider(const QList<Server> &servers);

    ProviderSimulator simulator;
    std::unique_ptr<Core> owner;
    bool valid = false;
};

Q_DECLARE_METATYPE(ServerCatalogue::Server)
