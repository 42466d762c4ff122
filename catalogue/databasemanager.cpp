#include "databasemanager.h"

#include "constants.h"
#include "dbutils.h"
#include "logmanager.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFutureWatcher>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent>

namespace {

const QString ServerColumns = QStringLiteral(
    "server_id, server_uid, server_host, server_address, location_name, location_lng, location_lat, country_code, "
    "country_name, server_ping, server_distance, server_connection_ts, server_update_ts");
const QString StatColumns = QStringLiteral("server_uid, stat_proto, stat_status, stat_ping, stat_cap, stat_text, stat_ts");
const QString TrafficColumns = QStringLiteral("stat_date, server_uid, stat_proto, stat_up, stat_down");

VpnServer serverFromRow(const QSqlQuery &query)
{
    VpnServer server;
    server.setId(query.value(0).toLongLong());
    server.setUid(query.value(1).toString());
    server.setHost(query.value(2).toString());
    server.setAddress(query.value(3).toString());
    Coordinate coordinate;
    coordinate.setLng(query.value(5).toDouble());
    coordinate.setLat(query.value(6).toDouble());
    Location location;
    location.setName(query.value(4).toString());
    location.setCoord(coordinate);
    server.setLocation(location);
    Country country;
    country.setCode(query.value(7).toString());
    country.setName(query.value(8).toString());
    server.setCountry(country);
    server.setPing(query.value(9).toInt());
    server.setDistance(query.value(10).toInt());
    server.setConnectionTime(DBUtils::toDateTime(query.value(11)));
    server.setPingTime(DBUtils::toDateTime(query.value(12)));
    return server;
}

// A server list as the writer thread stored it, and why it could not when it could not.
struct StoredServers
{
    QList<VpnServer> servers;
    QString error;
};

// Stores a fresh server list in one transaction of the connection: known servers are
// updated, new ones added and given their row ids, the rest hidden. On a failure
// nothing is changed and error says why.
bool writeServers(QSqlDatabase db, QList<VpnServer> &servers, QString *error)
{
    const auto failed = [error](const QString &what, const QSqlError &cause) {
        *error = QStringLiteral("Database: %1 failed: %2").arg(what, cause.text());
        return false;
    };
    if (!db.transaction())
        return failed(QStringLiteral("storing the server list"), db.lastError());
    QList<qint64> newIds(servers.size(), 0);
    const auto work = [&]() {
        // One read of what is stored: a server that is back unchanged is not written
        // again, and only the servers gone from the list are hidden.
        struct StoredRow
        {
            QString host, address, locationName, countryCode, countryName;
            double lng = 0, lat = 0;
            bool current = false; // updated and visible
        };
        QHash<QString, StoredRow> stored;
        QSqlQuery rows(db);
        rows.setForwardOnly(true);
        if (!rows.exec(QStringLiteral("SELECT server_uid, server_host, server_address, location_name, location_lng, "
                                      "location_lat, country_code, country_name, server_updated, server_visible "
                                      "FROM vpn_servers")))
            return failed(QStringLiteral("reading the stored servers"), rows.lastError());
        stored.reserve(servers.size());
        while (rows.next()) {
            stored.insert(rows.value(0).toString(),
                          StoredRow{rows.value(1).toString(), rows.value(2).toString(), rows.value(3).toString(),
                                    rows.value(6).toString(), rows.value(7).toString(), rows.value(4).toDouble(),
                                    rows.value(5).toDouble(), rows.value(8).toInt() != 0 && rows.value(9).toInt() != 0});
        }
        rows.finish();

        QSqlQuery update(db);
        QSqlQuery insert(db);
        update.prepare(QStringLiteral(
            "UPDATE vpn_servers SET server_host=?, server_address=?, location_name=?, location_lng=?, location_lat=?, "
            "country_code=?, country_name=?, server_updated=1, server_visible=1 WHERE server_uid=?"));
        insert.prepare(QStringLiteral(
            "INSERT INTO vpn_servers (server_host, server_address, location_name, location_lng, location_lat, "
            "country_code, country_name, server_uid, server_ping, server_distance, server_updated, server_visible) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, 0, 0, 1, 1)"));
        QSet<QString> listed;
        listed.reserve(servers.size());
        for (qsizetype i = 0; i < servers.size(); ++i) {
            const VpnServer &server = servers.at(i);
            const Coordinate coord = server.location().coord();
            const StoredRow row{server.host(), server.address(), server.location().name(), server.country().code(),
                                server.country().name(), coord.lng(), coord.lat(), true};
            listed.insert(server.uid());
            const auto known = stored.find(server.uid());
            if (known != stored.end() && known->current && known->host == row.host && known->address == row.address
                && known->locationName == row.locationName && known->countryCode == row.countryCode
                && known->countryName == row.countryName && known->lng == row.lng && known->lat == row.lat) {
                continue;
            }
            QSqlQuery &query = known != stored.end() ? update : insert;
            query.bindValue(0, row.host);
            query.bindValue(1, row.address);
            query.bindValue(2, row.locationName);
            query.bindValue(3, row.lng);
            query.bindValue(4, row.lat);
            query.bindValue(5, row.countryCode);
            query.bindValue(6, row.countryName);
            query.bindValue(7, server.uid());
            if (!query.exec())
                return failed(known != stored.end() ? QStringLiteral("updating a server") : QStringLiteral("adding a server"),
                              query.lastError());
            if (known == stored.end())
                newIds[i] = insert.lastInsertId().toLongLong();
            stored.insert(server.uid(), row);
        }

        QSqlQuery hide(db);
        hide.prepare(QStringLiteral("UPDATE vpn_servers SET server_updated=0, server_visible=0 WHERE server_uid=?"));
        for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
            if (!it->current || listed.contains(it.key()))
                continue;
            hide.bindValue(0, it.key());
            if (!hide.exec())
                return failed(QStringLiteral("hiding an old server"), hide.lastError());
        }
        return true;
    };
    if (!work() || !db.commit()) {
        if (error->isEmpty())
            failed(QStringLiteral("storing the server list"), db.lastError());
        db.rollback();
        return false;
    }
    // Ids only become real once the transaction is committed.
    for (qsizetype i = 0; i < servers.size(); ++i) {
        if (newIds.at(i) != 0)
            servers[i].setId(newIds.at(i));
    }
    return true;
}

} // namespace

class DatabaseManagerPrivate
{
public:
    LogManager *logManager = nullptr;
    bool opened = false;
    QString fileName;
    // Statistics the database refused, kept for the rest of the run.
    QList<ConnectionStat> unsavedStats;
    QList<TrafficStat> unsavedTraffic;
    // One thread for writing server lists, so that lists are stored in the order they came.
    QThreadPool writer;

    QSqlDatabase database() const { return QSqlDatabase::database(PRODUCT_NAME, false); }

    void log(const QString &message) const
    {
        logManager->addDataWithTimestamp(LogManager::GenericLevel, message.toUtf8());
    }

    // Runs a statement; a failure is logged with what was being done.
    bool exec(QSqlQuery &query, const QString &what) const
    {
        if (query.exec())
            return true;
        log(QStringLiteral("Database: %1 failed: %2").arg(what, query.lastError().text()));
        return false;
    }

    bool exec(const QString &statement, const QString &what) const
    {
        QSqlQuery query(database());
        if (!query.prepare(statement)) {
            log(QStringLiteral("Database: %1 failed: %2").arg(what, query.lastError().text()));
            return false;
        }
        return exec(query, what);
    }

    VpnServer selectOne(const QString &where, const QVariant &value = QVariant()) const
    {
        if (!opened)
            return VpnServer();
        QSqlQuery query(database());
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT ") + ServerColumns + QStringLiteral(" FROM vpn_servers ") + where);
        if (value.isValid())
            query.addBindValue(value);
        if (!exec(query, QStringLiteral("reading a server")) || !query.next())
            return VpnServer();
        return serverFromRow(query);
    }

    bool createTables()
    {
        QSqlDatabase db = database();
        const QStringList tables = DBUtils::databaseTables(db);
        bool ok = true;
        if (!tables.contains(QStringLiteral("vpn_servers"))) {
            ok = exec(QStringLiteral(
                          "CREATE TABLE IF NOT EXISTS vpn_servers (server_id INTEGER PRIMARY KEY AUTOINCREMENT, "
                          "server_uid TEXT, server_host TEXT, server_address TEXT, location_name TEXT, location_lng "
                          "NUMERIC, location_lat NUMERIC, country_code TEXT, country_name TEXT, server_ping INTEGER, "
                          "server_distance INTEGER, server_connection_ts INTEGER, server_update_ts INTEGER, "
                          "server_updated INTEGER, server_visible INTEGER)"),
                      QStringLiteral("creating the server table"))
                && exec(QStringLiteral("CREATE INDEX server_uid_idx ON vpn_servers (server_uid)"),
                        QStringLiteral("creating the server index"));
        }
        if (ok && !tables.contains(QStringLiteral("stat"))) {
            ok = exec(QStringLiteral("CREATE TABLE IF NOT EXISTS stat (stat_id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                     "server_uid TEXT, stat_proto TEXT, stat_status INTEGER, stat_ping INTEGER, "
                                     "stat_cap INTEGER, stat_text TEXT, stat_ts INTEGER)"),
                      QStringLiteral("creating the statistics table"));
        }
        if (ok && !tables.contains(QStringLiteral("tstat"))) {
            ok = exec(QStringLiteral("CREATE TABLE IF NOT EXISTS tstat (stat_id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                     "stat_date INTEGER, server_uid TEXT, stat_proto TEXT, stat_up INTEGER, "
                                     "stat_down INTEGER )"),
                      QStringLiteral("creating the traffic table"));
        }
        return ok;
    }

    bool openFile()
    {
        QSqlDatabase db = QSqlDatabase::contains(PRODUCT_NAME) ? database()
                                                               : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), PRODUCT_NAME);
        db.setDatabaseName(fileName);
        if (!db.open()) {
            log(QStringLiteral("Database: %1 cannot be opened: %2").arg(fileName, db.lastError().text()));
            return false;
        }
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA synchronous = OFF"));
        pragma.exec(QStringLiteral("PRAGMA cache_size = 10000"));
        // A file that is not a database fails its first real read.
        QSqlQuery check(db);
        if (!check.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            log(QStringLiteral("Database: %1 is damaged: %2").arg(fileName, check.lastError().text()));
            db.close();
            return false;
        }
        return createTables();
    }

    bool insertStats(const QList<ConnectionStat> &stats) const
    {
        QSqlQuery insert(database());
        insert.prepare(QStringLiteral("INSERT INTO stat (") + StatColumns + QStringLiteral(") VALUES (?, ?, ?, ?, ?, ?, ?)"));
        for (const ConnectionStat &stat : stats) {
            insert.addBindValue(stat.serverUid());
            insert.addBindValue(Vpn::GetProtocolKey(stat.protocol()));
            insert.addBindValue(stat.status());
            insert.addBindValue(stat.ping());
            insert.addBindValue(stat.capacity());
            insert.addBindValue(stat.text());
            insert.addBindValue(stat.timestamp());
            if (!exec(insert, QStringLiteral("storing a connection statistic")))
                return false;
        }
        return true;
    }

    bool transaction(const QString &what, const std::function<bool()> &work)
    {
        QSqlDatabase db = database();
        if (!opened || !db.transaction()) {
            if (opened)
                log(QStringLiteral("Database: %1 failed: %2").arg(what, db.lastError().text()));
            return false;
        }
        if (work() && db.commit())
            return true;
        log(QStringLiteral("Database: %1 failed and was undone: %2").arg(what, db.lastError().text()));
        db.rollback();
        return false;
    }
};

DatabaseManager::DatabaseManager(LogManager *logManager, QObject *parent)
    : QObject(parent)
    , d(new DatabaseManagerPrivate)
{
    d->logManager = logManager;
    d->writer.setMaxThreadCount(1);
}

DatabaseManager::~DatabaseManager()
{
    if (QSqlDatabase::contains(PRODUCT_NAME)) {
        d->database().close();
        QSqlDatabase::removeDatabase(PRODUCT_NAME);
    }
}

QString DatabaseManager::fileName() const
{
    return d->fileName;
}

bool DatabaseManager::open()
{
    const QString directory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/db");
    QDir().mkpath(directory);
    d->fileName = directory + QLatin1Char('/') + DATABASE_FILE_NAME;
    d->opened = d->openFile();
    if (!d->opened && QFile::exists(d->fileName) && QFileInfo(d->fileName).isWritable()) {
        // Keep the damaged file for a look later, and start afresh beside it.
        const QString aside = d->fileName + QStringLiteral(".damaged-")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QSqlDatabase::removeDatabase(PRODUCT_NAME);
        if (QFile::rename(d->fileName, aside)) {
            d->log(QStringLiteral("Database: the damaged file was moved to %1").arg(aside));
            d->opened = d->openFile();
        }
    }
    return d->opened;
}

QList<VpnServer> DatabaseManager::visibleServers() const
{
    QList<VpnServer> servers;
    if (!d->opened)
        return servers;
    QSqlQuery query(d->database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + ServerColumns + QStringLiteral(" FROM vpn_servers WHERE server_visible=1"));
    if (!d->exec(query, QStringLiteral("reading the servers")))
        return servers;
    while (query.next())
        servers.append(serverFromRow(query));
    return servers;
}

VpnServer DatabaseManager::serverByUid(const QString &uid) const
{
    return d->selectOne(QStringLiteral("WHERE server_uid=?"), uid);
}

VpnServer DatabaseManager::lastConnectedServer() const
{
    return d->selectOne(QStringLiteral(
        "WHERE server_visible=1 AND server_connection_ts>0 ORDER BY server_connection_ts DESC LIMIT 1"));
}

VpnServer DatabaseManager::fastestServer() const
{
    return d->selectOne(QStringLiteral("WHERE server_visible=1 AND server_ping>0 ORDER BY server_ping ASC LIMIT 1"));
}

bool DatabaseManager::updateServers(QList<VpnServer> &servers)
{
    if (!d->opened)
        return false;
    QString error;
    if (writeServers(d->database(), servers, &error))
        return true;
    d->log(error);
    return false;
}

void DatabaseManager::storeServers(const QList<VpnServer> &servers)
{
    if (!d->opened) {
        emit serversStored(servers);
        return;
    }
    // The writer has a connection of its own, opened and closed in its thread.
    const QString file = d->fileName;
    auto *watcher = new QFutureWatcher<StoredServers>(this);
    connect(watcher, &QFutureWatcher<StoredServers>::finished, this, [this, watcher] {
        StoredServers stored = watcher->result();
        watcher->deleteLater();
        if (!stored.error.isEmpty())
            d->log(stored.error);
        emit serversStored(stored.servers);
    });
    watcher->setFuture(QtConcurrent::run(&d->writer, [file, servers] {
        StoredServers stored { servers, QString() };
        const QString name = PRODUCT_NAME + QStringLiteral("-writer");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(file);
            if (db.open()) {
                QSqlQuery(QStringLiteral("PRAGMA synchronous = OFF"), db);
                if (!writeServers(db, stored.servers, &stored.error))
                    stored.servers = servers;
            } else {
                stored.error = QStringLiteral("Database: %1 cannot be opened: %2").arg(file, db.lastError().text());
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return stored;
    }));
}

void DatabaseManager::setPing(VpnServer &server, int msecs)
{
    server.setPing(msecs);
    server.setPingTime(QDateTime::currentDateTime());
    if (!d->opened)
        return;
    QSqlQuery query(d->database());
    query.prepare(QStringLiteral("UPDATE vpn_servers SET server_ping=?, server_update_ts=? WHERE server_uid=?"));
    query.addBindValue(msecs);
    query.addBindValue(DBUtils::fromDateTime(server.pingTime()));
    query.addBindValue(server.uid());
    d->exec(query, QStringLiteral("storing a ping"));
}

void DatabaseManager::setConnectionTime(VpnServer &server)
{
    server.setConnectionTime(QDateTime::currentDateTime());
    if (!d->opened)
        return;
    QSqlQuery query(d->database());
    query.prepare(QStringLiteral("UPDATE vpn_servers SET server_connection_ts=? WHERE server_uid=?"));
    query.addBindValue(DBUtils::fromDateTime(server.connectionTime()));
    query.addBindValue(server.uid());
    d->exec(query, QStringLiteral("storing a connection time"));
}

bool DatabaseManager::addStats(const QList<ConnectionStat> &stats)
{
    if (stats.isEmpty())
        return true;
    const bool ok = d->transaction(QStringLiteral("storing connection statistics"),
                                   [this, &stats] { return d->insertStats(stats); });
    if (!ok) {
        d->unsavedStats.append(stats);
        d->log(QStringLiteral("Database: %1 connection statistics are kept in memory only").arg(stats.size()));
    }
    return ok;
}

bool DatabaseManager::replaceStats(const QList<ConnectionStat> &stats)
{
    const bool ok = d->transaction(QStringLiteral("replacing connection statistics"), [this, &stats] {
        return d->exec(QStringLiteral("DELETE FROM stat"), QStringLiteral("emptying the statistics table"))
            && d->insertStats(stats);
    });
    // What the table should hold but cannot is kept here instead.
    d->unsavedStats = ok ? QList<ConnectionStat>() : stats;
    if (!ok && !stats.isEmpty())
        d->log(QStringLiteral("Database: %1 connection statistics are kept in memory only").arg(stats.size()));
    return ok;
}

QList<ConnectionStat> DatabaseManager::takeStats()
{
    QList<ConnectionStat> stats = d->unsavedStats;
    d->unsavedStats.clear();
    d->transaction(QStringLiteral("taking connection statistics"), [this, &stats] {
        QSqlQuery query(d->database());
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT ") + StatColumns + QStringLiteral(" FROM stat"));
        if (!d->exec(query, QStringLiteral("reading connection statistics")))
            return false;
        QList<ConnectionStat> read;
        while (query.next()) {
            ConnectionStat stat;
            stat.setServerUid(query.value(0).toString());
            stat.setProtocol(Vpn::GetProtocol(query.value(1).toString()));
            stat.setStatus(query.value(2).toInt());
            stat.setPing(query.value(3).toInt());
            stat.setCapacity(query.value(4).toInt());
            stat.setText(query.value(5).toString());
            stat.setTimestamp(query.value(6).toLongLong());
            read.append(stat);
        }
        // Rows leave the table only when they were read.
        if (!d->exec(QStringLiteral("DELETE FROM stat"), QStringLiteral("emptying the statistics table")))
            return false;
        stats.append(read);
        return true;
    });
    return stats;
}

bool DatabaseManager::addTrafficStats(const QList<TrafficStat> &stats)
{
    if (stats.isEmpty())
        return true;
    const bool ok = d->transaction(QStringLiteral("storing traffic statistics"), [this, &stats] {
        QSqlQuery insert(d->database());
        insert.prepare(QStringLiteral("INSERT INTO tstat (") + TrafficColumns + QStringLiteral(") VALUES (?, ?, ?, ?, ?)"));
        for (const TrafficStat &stat : stats) {
            insert.addBindValue(stat.date().startOfDay().toSecsSinceEpoch());
            insert.addBindValue(stat.serverUid());
            insert.addBindValue(Vpn::GetProtocolKey(stat.protocol()));
            insert.addBindValue(stat.up());
            insert.addBindValue(stat.down());
            if (!d->exec(insert, QStringLiteral("storing a traffic statistic")))
                return false;
        }
        return true;
    });
    if (!ok) {
        d->unsavedTraffic.append(stats);
        d->log(QStringLiteral("Database: %1 traffic statistics are kept in memory only").arg(stats.size()));
    }
    return ok;
}

QList<TrafficStat> DatabaseManager::takeTrafficStats()
{
    QList<TrafficStat> stats = d->unsavedTraffic;
    d->unsavedTraffic.clear();
    d->transaction(QStringLiteral("taking traffic statistics"), [this, &stats] {
        QSqlQuery query(d->database());
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT ") + TrafficColumns + QStringLiteral(" FROM tstat"));
        if (!d->exec(query, QStringLiteral("reading traffic statistics")))
            return false;
        QList<TrafficStat> read;
        while (query.next()) {
            TrafficStat stat;
            stat.setDate(QDateTime::fromSecsSinceEpoch(query.value(0).toLongLong()).date());
            stat.setServerUid(query.value(1).toString());
            stat.setProtocol(Vpn::GetProtocol(query.value(2).toString()));
            stat.setUp(query.value(3).toLongLong());
            stat.setDown(query.value(4).toLongLong());
            read.append(stat);
        }
        if (!d->exec(QStringLiteral("DELETE FROM tstat"), QStringLiteral("emptying the traffic table")))
            return false;
        stats.append(read);
        return true;
    });
    return stats;
}
