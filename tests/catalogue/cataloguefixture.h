#pragma once

#include "vpnserver.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <memory>

class Core;
class ProviderSimulator;

// What the catalogue tests share: a real Core that cannot reach any provider
// unless a test names one, and servers built in one line.
namespace CatalogueFixture {

// A Core whose API addresses are `api` ("127.0.0.1:port"), or a loopback port on
// which nothing listens. With `openDatabase` its database is opened as at start-up.
std::unique_ptr<Core> makeCore(bool openDatabase = true, const QString &api = QString());

// A Core signed in with the simulator's demo account; the database is open.
std::unique_ptr<Core> makeSignedInCore(const ProviderSimulator &simulator);

// The simulator's demo data with `servers` as its server list.
QJsonObject providerData(const QJsonArray &servers);
// A server of the simulator's list; capacity < 0 leaves it out.
QJsonObject providerServer(
    const QString &uid, const QString &address, int capacity, double lat = 50.0, double lng = 8.0);

// <AppDataLocation>/db, where the database lives.
QString databaseDirectory();
// Deletes the database folder, whatever a test left there.
void removeDatabase();

// A server with a location and a country; `lat`/`lng` place it.
VpnServer server(const QString &uid, const QString &address, double lat = 50.0, double lng = 8.0);

// Empty when this process may send ICMP echoes (root, or a ping socket allowed by
// net.ipv4.ping_group_range); otherwise why it may not.
QString noEchoReason();

// The generic log of the core as text.
QString genericLog(Core *core);

} // namespace CatalogueFixture
