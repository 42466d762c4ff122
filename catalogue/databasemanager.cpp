#include "databasemanager.h"

#include "constants.h"
#include "dbutils.h"
#include "logmanager.h"
#include "sqlitestatement.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFutureWatcher>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent>

#include <sqlite3.h>

#include <algorithm>
#include <memory>

namespace {

const QString ServerColumns
    = QStringLiteral("server_id, server_uid, server_host, server_address, location_name, location_lng, "
                     "location_lat, country_code, "
                     "country_name, server_ping, server_distance, server_connection_ts, server_update_ts");
const QString StatColumns
    = QStringLiteral("server_uid, stat_proto, stat_status, stat_ping, stat_cap, stat_text, stat_ts");
const QString TrafficColumns = QStringLiteral("stat_date, server_uid, stat_proto, stat_up, stat_down");

// Ping times are instants the program compares and never shows: in UTC they cost
// nothing to make and to compare, where a local time asks the time zone each time.
QDateTime pingTimeFromSeconds(qint64 seconds)
{
    return seconds > 0 ? QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC) : QDateTime();
}

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
    server.setPingTime(pingTimeFromSeconds(query.value(12).toLongLong()));
    return server;
}

// A server list as the writer thread stored it, and why it could not when it could not.
struct StoredServers
{
    QList<VpnServer> servers;
    QString error;
};

// What the database holds of one server of a fresh list.
struct StoredServer
{
    qint64 id = 0;
    int ping = 0;
    qint64 pingTime = 0;
    bool found = false;
    bool visible = false;
    // Stored, shown, and listed by the provider just as now: nothing to write.
    bool unchanged = false;
};

bool sameListing(const VpnServer &server, const SqliteStatement &row)
{
    const Location location = server.location();
    const Country country = server.country();
    return row.text(2) == server.host() && row.text(3) == server.address() && row.text(4) == location.name()
        && row.real(5) == location.coord().lng() && row.real(6) == location.coord().lat()
        && row.text(7) == country.code() && row.text(8) == country.name();
}

// The columns of the provider's listing of a server, as they are bound.
constexpr int ListingColumns = 8;

// Binds the provider's listing of a server as the parameters after the first `offset`.
void bindListing(SqliteStatement &statement, int offset, const VpnServer &server)
{
    const Location location = server.location();
    const Country country = server.country();
    statement.bind(offset + 1, server.host());
    statement.bind(offset + 2, server.address());
    statement.bind(offset + 3, location.name());
    statement.bind(offset + 4, location.coord().lng());
    statement.bind(offset + 5, location.coord().lat());
    statement.bind(offset + 6, country.code());
    statement.bind(offset + 7, country.name());
    statement.bind(offset + 8, server.uid());
}

// Adds `rows` new servers, each with its listing, and returns their ids and uids.
QByteArray insertStatement(qsizetype rows)
{
    QByteArray statement
        = "INSERT INTO vpn_servers (server_host, server_address, location_name, location_lng, location_lat, "
          "country_code, country_name, server_uid, server_ping, server_distance, server_updated, "
          "server_visible) "
          "VALUES ";
    for (qsizetype row = 0; row < rows; ++row)
        statement
            += row == 0 ? "(?, ?, ?, ?, ?, ?, ?, ?, 0, 0, 1, 1)" : ", (?, ?, ?, ?, ?, ?, ?, ?, 0, 0, 1, 1)";
    return statement + " RETURNING server_id, server_uid";
}

// Stores a fresh server list in one transaction of a connection of its own: known
// servers are updated, new ones added, the rest hidden. Every server of the list then
// carries its row id, and a server that was shown before its stored ping and ping time.
// On a failure nothing is changed, in the database or in the list, and error says why.
bool writeServers(const QString &file, QList<VpnServer> &servers, QString *error)
{
    const auto failed = [error](const QString &what, const QString &cause) {
        *error = QStringLiteral("Database: %1 failed: %2").arg(what, cause);
        return false;
    };
    sqlite3 *opened = nullptr;
    const int openResult = sqlite3_open_v2(
        QFile::encodeName(file).constData(), &opened, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(opened, sqlite3_close);
    if (openResult != SQLITE_OK) {
        *error
            = QStringLiteral("Database: %1 cannot be opened: %2")
                  .arg(file, QString::fromUtf8(db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(openResult)));
        return false;
    }
    // As long as the Qt driver waits for a lock held by the program's other connection.
    sqlite3_busy_timeout(db.get(), 5000);
    sqlite3_exec(db.get(), "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    if (sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return failed(QStringLiteral("storing the server list"), QString::fromUtf8(sqlite3_errmsg(db.get())));

    // A uid the provider lists twice is one server: its first place in the list stands
    // for it.
    QList<StoredServer> stored(servers.size());
    QList<qsizetype> firstOfUid(servers.size());
    const auto work = [&]() {
        QHash<QString, qsizetype> positions;
        positions.reserve(servers.size());
        for (qsizetype i = 0; i < servers.size(); ++i) {
            const auto known = positions.constFind(servers.at(i).uid());
            firstOfUid[i] = known != positions.cend() ? *known : *positions.insert(servers.at(i).uid(), i);
        }

        // One read of what is stored: a server that is back unchanged is not written
        // again, and only the servers gone from the list are hidden.
        QList<qint64> gone;
        SqliteStatement rows(db.get(),
            "SELECT server_id, server_uid, server_host, server_address, location_name, location_lng, "
            "location_lat, country_code, country_name, server_ping, server_update_ts, server_updated, "
            "server_visible FROM vpn_servers");
        while (rows.next()) {
            const QStringView uid = rows.text(1);
            const qsizetype position = positions.value(QString::fromRawData(uid.data(), uid.size()), -1);
            const bool visible = rows.integer(12) != 0;
            const bool current = visible && rows.integer(11) != 0;
            if (position < 0) {
                if (current)
                    gone.append(rows.integer(0));
                continue;
            }
            StoredServer &server = stored[position];
            if (server.found) {
                // Two rows of one uid: the update by uid below makes them alike again.
                server.unchanged = false;
                continue;
            }
            server = StoredServer { rows.integer(0), int(rows.integer(9)), rows.integer(10), true, visible,
                current && sameListing(servers.at(position), rows) };
        }
        if (!rows.error().isEmpty())
            return failed(QStringLiteral("reading the stored servers"), rows.error());

        SqliteStatement update(db.get(),
            "UPDATE vpn_servers SET server_host=?, server_address=?, location_name=?, "
            "location_lng=?, location_lat=?, country_code=?, country_name=?, server_updated=1, "
            "server_visible=1 WHERE server_uid=?");
        // A uid listed again is stored as listed last: a known one is updated once more,
        // a new one added with its last listing.
        QList<qsizetype> lastListing(servers.size());
        QList<qsizetype> added;
        for (qsizetype i = 0; i < servers.size(); ++i) {
            const qsizetype first = firstOfUid.at(i);
            lastListing[first] = i;
            if (first == i && stored.at(i).unchanged)
                continue;
            if (!stored.at(first).found) {
                if (first == i)
                    added.append(i);
                continue;
            }
            bindListing(update, 0, servers.at(i));
            if (!update.exec())
                return failed(QStringLiteral("updating a server"), update.error());
        }

        // New servers go in many to a statement, half the cost of one statement each; the
        // ids come back by uid, in no particular order.
        constexpr qsizetype RowsPerInsert = 64;
        std::unique_ptr<SqliteStatement> insert;
        for (qsizetype start = 0; start < added.size(); start += RowsPerInsert) {
            const qsizetype rows = std::min(RowsPerInsert, added.size() - start);
            if (!insert || rows < RowsPerInsert)
                insert = std::make_unique<SqliteStatement>(db.get(), insertStatement(rows).constData());
            for (qsizetype row = 0; row < rows; ++row)
                bindListing(
                    *insert, int(row * ListingColumns), servers.at(lastListing.at(added.at(start + row))));
            while (insert->next()) {
                const QStringView uid = insert->text(1);
                const qsizetype position = positions.value(QString::fromRawData(uid.data(), uid.size()), -1);
                if (position >= 0)
                    stored[position].id = insert->integer(0);
            }
            insert->reset();
            if (!insert->error().isEmpty())
                return failed(QStringLiteral("adding a server"), insert->error());
        }

        SqliteStatement hide(
            db.get(), "UPDATE vpn_servers SET server_updated=0, server_visible=0 WHERE server_id=?");
        for (const qint64 id : std::as_const(gone)) {
            hide.bind(1, id);
            if (!hide.exec())
                return failed(QStringLiteral("hiding an old server"), hide.error());
        }
        return true;
    };
    if (!work() || sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        if (error->isEmpty())
            failed(QStringLiteral("storing the server list"), QString::fromUtf8(sqlite3_errmsg(db.get())));
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    // The list learns its ids only once they are real, after the commit.
    for (qsizetype i = 0; i < servers.size(); ++i) {
        const StoredServer &server = stored.at(firstOfUid.at(i));
        VpnServer &listed = servers[i];
        listed.setId(server.id);
        if (server.visible) {
            listed.setPing(server.ping);
            listed.setPingTime(pingTimeFromSeconds(server.pingTime));
        }
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
        query.prepare(
            QStringLiteral("SELECT ") + ServerColumns + QStringLiteral(" FROM vpn_servers ") + where);
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
                          "CREATE TABLE IF NOT EXISTS vpn_servers (server_id INTEGER PRIMARY KEY "
                          "AUTOINCREMENT, "
                          "server_uid TEXT, server_host TEXT, server_address TEXT, location_name TEXT, "
                          "location_lng "
                          "NUMERIC, location_lat NUMERIC, country_code TEXT, country_name TEXT, server_ping "
                          "INTEGER, "
                          "server_distance INTEGER, server_connection_ts INTEGER, server_update_ts INTEGER, "
                          "server_updated INTEGER, server_visible INTEGER)"),
                     QStringLiteral("creating the server table"))
                && exec(QStringLiteral("CREATE INDEX server_uid_idx ON vpn_servers (server_uid)"),
                    QStringLiteral("creating the server index"));
        }
        if (ok && !tables.contains(QStringLiteral("stat"))) {
            ok = exec(
                QStringLiteral("CREATE TABLE IF NOT EXISTS stat (stat_id INTEGER PRIMARY KEY AUTOINCREMENT, "
                               "server_uid TEXT, stat_proto TEXT, stat_status INTEGER, stat_ping INTEGER, "
                               "stat_cap INTEGER, stat_text TEXT, stat_ts INTEGER)"),
                QStringLiteral("creating the statistics table"));
        }
        if (ok && !tables.contains(QStringLiteral("tstat"))) {
            ok = exec(
                QStringLiteral("CREATE TABLE IF NOT EXISTS tstat (stat_id INTEGER PRIMARY KEY AUTOINCREMENT, "
                               "stat_date INTEGER, server_uid TEXT, stat_proto TEXT, stat_up INTEGER, "
                               "stat_down INTEGER )"),
                QStringLiteral("creating the traffic table"));
        }
        return ok;
    }

    bool openFile()
    {
        QSqlDatabase db = QSqlDatabase::contains(PRODUCT_NAME)
            ? database()
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
        insert.prepare(QStringLiteral("INSERT INTO stat (") + StatColumns
            + QStringLiteral(") VALUES (?, ?, ?, ?, ?, ?, ?)"));
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
    const QString directory
        = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/db");
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
    query.prepare(QStringLiteral("SELECT ") + ServerColumns
        + QStringLiteral(" FROM vpn_servers WHERE server_visible=1"));
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
    return d->selectOne(
        QStringLiteral("WHERE server_visible=1 AND server_ping>0 ORDER BY server_ping ASC LIMIT 1"));
}

bool DatabaseManager::updateServers(QList<VpnServer> &servers)
{
    if (!d->opened)
        return false;
    QString error;
    if (writeServers(d->fileName, servers, &error))
        return true;
    d->log(error);
    return false;
}

void DatabaseManager::storeServers(QList<VpnServer> servers)
{
    if (!d->opened) {
        emit serversStored(servers);
        return;
    }
    auto *watcher = new QFutureWatcher<StoredServers>(this);
    connect(watcher, &QFutureWatcher<StoredServers>::finished, this, [this, watcher] {
        const StoredServers stored = watcher->result();
        watcher->deleteLater();
        if (!stored.error.isEmpty())
            d->log(stored.error);
        emit serversStored(stored.servers);
    });
    // The list is moved, not shared, so that giving its servers their ids copies none.
    watcher->setFuture(
        QtConcurrent::run(&d->writer, [file = d->fileName, servers = std::move(servers)]() mutable {
            StoredServers stored { std::move(servers), QString() };
            writeServers(file, stored.servers, &stored.error);
            return stored;
        }));
}

void DatabaseManager::setPing(VpnServer &server, int msecs)
{
    server.setPing(msecs);
    server.setPingTime(QDateTime::currentDateTimeUtc());
    if (!d->opened)
        return;
    QSqlQuery query(d->database());
    query.prepare(
        QStringLiteral("UPDATE vpn_servers SET server_ping=?, server_update_ts=? WHERE server_uid=?"));
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
    const bool ok = d->transaction(
        QStringLiteral("storing connection statistics"), [this, &stats] { return d->insertStats(stats); });
    if (!ok) {
        d->unsavedStats.append(stats);
        d->log(
            QStringLiteral("Database: %1 connection statistics are kept in memory only").arg(stats.size()));
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
        d->log(
            QStringLiteral("Database: %1 connection statistics are kept in memory only").arg(stats.size()));
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
        insert.prepare(QStringLiteral("INSERT INTO tstat (") + TrafficColumns
            + QStringLiteral(") VALUES (?, ?, ?, ?, ?)"));
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
