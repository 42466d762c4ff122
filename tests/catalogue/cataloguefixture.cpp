#include "cataloguefixture.h"

#include "configuration.h"
#include "core.h"
#include "databasemanager.h"
#include "logmanager.h"
#include "mirrow.h"
#include "providersimulator.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace CatalogueFixture {

std::unique_ptr<Core> makeCore(bool openDatabase, const QString &api)
{
    QString address = api;
    if (address.isEmpty()) {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        address = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    }
    qputenv(Mirrow::AddressesVariable, address.toUtf8());
    auto core = std::make_unique<Core>();
    if (openDatabase)
        core->databaseManager()->open();
    return core;
}

std::unique_ptr<Core> makeSignedInCore(const ProviderSimulator &simulator)
{
    auto core = makeCore(true, simulator.address());
    core->configuration()->setCredentials(QStringLiteral("demo"), QStringLiteral("demo-password"));
    return core;
}

QJsonObject providerData(const QJsonArray &servers)
{
    QJsonObject data = ProviderSimulator::demoData();
    data.insert(QStringLiteral("servers"), servers);
    return data;
}

QJsonObject providerServer(const QString &uid, const QString &address, int capacity, double lat, double lng)
{
    QJsonObject server { { QStringLiteral("uid"), uid },
        { QStringLiteral("host"), QString(uid + QStringLiteral(".servers.test")) },
        { QStringLiteral("address"), address }, { QStringLiteral("provider"), 0 },
        { QStringLiteral("location"),
            QJsonObject { { QStringLiteral("name"), QString(QStringLiteral("City of ") + uid) },
                { QStringLiteral("lat"), lat }, { QStringLiteral("lng"), lng } } },
        { QStringLiteral("country"),
            QJsonObject { { QStringLiteral("code"), QStringLiteral("DE") },
                { QStringLiteral("name"), QStringLiteral("Germany") } } } };
    if (capacity >= 0)
        server.insert(QStringLiteral("capacity"), capacity);
    return server;
}

QString databaseDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/db");
}

void removeDatabase()
{
    const QString directory = databaseDirectory();
    const QFileInfo info(directory);
    if (info.isFile()) {
        QFile::remove(directory);
        return;
    }
    if (!info.isDir())
        return;
    // A test may have left it read-only.
    QFile::setPermissions(directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDirIterator it(directory, QDir::Files | QDir::Hidden);
    while (it.hasNext())
        QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner);
    QDir(directory).removeRecursively();
}

VpnServer server(const QString &uid, const QString &address, double lat, double lng)
{
    VpnServer server;
    server.setUid(uid);
    server.setHost(uid + QStringLiteral(".servers.test"));
    server.setAddress(address);
    Coordinate coordinate;
    coordinate.setLat(lat);
    coordinate.setLng(lng);
    Location location;
    location.setName(QStringLiteral("City of ") + uid);
    location.setCoord(coordinate);
    server.setLocation(location);
    Country country;
    country.setCode(QStringLiteral("DE"));
    country.setName(QStringLiteral("Germany"));
    server.setCountry(country);
    return server;
}

QString noEchoReason()
{
    for (const int type : { SOCK_DGRAM, SOCK_RAW }) {
        const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd >= 0) {
            ::close(fd);
            return QString();
        }
    }
    return QStringLiteral("No ICMP socket here: run as root or allow ping sockets with sysctl "
                          "net.ipv4.ping_group_range.");
}

QString genericLog(Core *core)
{
    return QString::fromUtf8(core->logManager()->data(LogManager::GenericLevel));
}

} // namespace CatalogueFixture
