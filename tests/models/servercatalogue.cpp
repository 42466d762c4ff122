#include "servercatalogue.h"

#include "configuration.h"
#include "constants.h"
#include "core.h"
#include "databasemanager.h"
#include "mirrow.h"
#include "vpnmanager.h"

#include <QJsonArray>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QXmlStreamReader>

namespace {

// A loopback port on which nothing listens.
QString closedAddress()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return QStringLiteral("127.0.0.1:") + QString::number(server.serverPort());
}

bool execute(const QString &statement, const QVariantList &values = QVariantList())
{
    QSqlQuery query(QSqlDatabase::database(PRODUCT_NAME, false));
    if (!query.prepare(statement))
        return false;
    for (const QVariant &value : values)
        query.addBindValue(value);
    return query.exec();
}

QJsonObject providerData(const QList<ServerCatalogue::Server> &servers)
{
    QJsonArray list;
    for (const ServerCatalogue::Server &server : servers) {
        QJsonObject entry {
            { QStringLiteral("uid"), server.uid },
            { QStringLiteral("host"), QString(server.uid + QStringLiteral(".noxel.invalid")) },
            { QStringLiteral("address"), server.address },
            { QStringLiteral("location"), QJsonObject { { QStringLiteral("name"), server.location } } },
            { QStringLiteral("country"),
                QJsonObject { { QStringLiteral("code"), server.countryCode },
                    { QStringLiteral("name"), server.countryName } } },
        };
        if (server.capacity >= 0)
            entry.insert(QStringLiteral("capacity"), server.capacity);
        if (server.indicator >= 0)
            entry.insert(QStringLiteral("capacity_indicator"), server.indicator);
        if (server.stealth) {
            entry.insert(QStringLiteral("stealth"),
                QJsonObject {
                    { QStringLiteral("address"), server.address }, { QStringLiteral("port"), 443 } });
        }
        if (!server.provider.isEmpty())
            entry.insert(QStringLiteral("vpn_provider"), server.provider);
        list.append(entry);
    }
    QJsonObject data = ProviderSimulator::demoData();
    data.insert(QStringLiteral("servers"), list);
    return data;
}

} // namespace

ServerCatalogue::ServerCatalogue(const QList<Server> &servers, Source source)
{
    // The transport's address pool remembers the addresses of earlier cores here.
    QSettings().clear();
    if (source == Provider && !simulator.start(providerData(servers)))
        return;
    qputenv(Mirrow::AddressesVariable, (source == Provider ? simulator.address() : closedAddress()).toUtf8());
    owner = std::make_unique<Core>();
    if (source == Provider)
        owner->configuration()->setCredentials(QStringLiteral("demo"), QStringLiteral("demo-password"));
    if (!owner->databaseManager()->open() || !execute(QStringLiteral("DELETE FROM vpn_servers")))
        return;
    if (!reload(servers))
        return;
    valid = source == Database || fetchFromProvider(servers);
}

ServerCatalogue::~ServerCatalogue() = default;

bool ServerCatalogue::isValid() const
{
    return valid;
}

Core *ServerCatalogue::core() const
{
    return owner.get();
}

VpnManager *ServerCatalogue::manager() const
{
    return owner->vpnManager();
}

bool ServerCatalogue::reload(const QList<Server> &servers)
{
    if (!store(servers))
        return false;
    manager()->load();
    if (manager()->count() != servers.size())
        return false;
    for (int i = 0; i < servers.size(); ++i) {
        if (manager()->server(i).uid() != servers.at(i).uid)
            return false;
    }
    return true;
}

bool ServerCatalogue::store(const QList<Server> &servers)
{
    QList<VpnServer> records;
    for (const Server &server : servers) {
        VpnServer record;
        record.setUid(server.uid);
        record.setHost(server.uid + QStringLiteral(".noxel.invalid"));
        record.setAddress(server.address);
        Country country;
        country.setCode(server.countryCode);
        country.setName(server.countryName);
        record.setCountry(country);
        Location location;
        location.setName(server.location);
        record.setLocation(location);
        records.append(record);
    }
    DatabaseManager *database = owner->databaseManager();
    if (!database->updateServers(records))
        return false;
    for (int i = 0; i < servers.size(); ++i) {
        if (servers.at(i).pinged)
            database->setPing(records[i], servers.at(i).ping);
        // Nothing in the program writes a stored distance; a refresh inserts 0.
        if (!execute(QStringLiteral("UPDATE vpn_servers SET server_distance=? WHERE server_uid=?"),
                { servers.at(i).distance, servers.at(i).uid }))
            return false;
    }
    return true;
}

bool ServerCatalogue::fetchFromProvider(const QList<Server> &servers)
{
    QSignalSpy loaded(manager(), &VpnManager::vpnServersChanged);
    if (!manager()->updateVpnServers() || !loaded.wait(15000) || !manager()->isLoaded())
        return false;
    for (int i = 0; i < servers.size(); ++i) {
        if (manager()->server(i).uid() != servers.at(i).uid)
            return false;
    }
    return manager()->count() == servers.size();
}

void ServerCatalogue::setAccount(bool stealth, bool admin)
{
    emit owner->userStatusUpdated(userStatus(stealth, admin));
}

UserStatus ServerCatalogue::userStatus(bool stealth, bool admin)
{
    QString xml = QStringLiteral("<user-status update-interval=\"60\">");
    if (stealth)
        xml += QStringLiteral("<stealth-ovpn/>");
    if (admin)
        xml += QStringLiteral("<admin/>");
    xml += QStringLiteral("</user-status>");
    QXmlStreamReader reader(xml);
    reader.readNextStartElement();
    return UserStatus::fromXml(reader);
}

ServerCatalogue::Server ServerCatalogue::server(
    const QString &uid, const QString &countryCode, const QString &countryName, const QString &location)
{
    static int next = 0;
    Server server;
    server.uid = uid;
    server.countryCode = countryCode;
    server.countryName = countryName;
    server.location = location;
    server.address = QStringLiteral("127.0.3.") + QString::number(1 + next++ % 250);
    return server;
}
