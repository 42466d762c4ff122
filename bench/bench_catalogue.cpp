// Times a refresh of a 10,000-server catalogue: reading the provider's answer,
// storing it in the local database (in the writer's thread, as the program does),
// replacing the catalogue's list and sorting it by ping. The baseline is a bare SQLite insert of the same
// rows in one transaction, on the same disk in the same process, so that the ratio holds on any machine.

#include "benchmark.h"
#include "core.h"
#include "databasemanager.h"
#include "mirrow.h"
#include "vpnmanager.h"
#include "vpnserversrequest.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int Repetitions = 9;
constexpr int ServerCount = 10000;
const QString BaselineConnection = QStringLiteral("bench-baseline");

// The provider's answer: the "vpn-servers" element with every server's details.
// Addresses are on loopback, should a ping ever go out.
QByteArray serversAnswer()
{
    static const char *const cities[][3] = {
        { "DE", "Germany", "Frankfurt" },
        { "NL", "Netherlands", "Amsterdam" },
        { "FR", "France", "Paris" },
        { "US", "United States", "New York" },
        { "JP", "Japan", "Tokyo" },
        { "BR", "Brazil", "São Paulo" },
    };
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.writeStartElement(QStringLiteral("vpn-servers"));
    for (int i = 0; i < ServerCount; ++i) {
        const auto &city = cities[i % std::size(cities)];
        const QString uid = QStringLiteral("srv-%1").arg(i, 5, 10, QLatin1Char('0'));
        const QString address
            = QStringLiteral("127.%1.%2.%3").arg(i / 62500).arg(i / 250 % 250).arg(i % 250 + 1);
        writer.writeStartElement(QStringLiteral("vpn-server"));
        writer.writeAttribute(QStringLiteral("uid"), uid);
        writer.writeAttribute(QStringLiteral("capacity"), QString::number(i * 7 % 101));
        writer.writeAttribute(QStringLiteral("provider"), QString::number(i % 3));
        writer.writeTextElement(QStringLiteral("host"), uid + QStringLiteral(".noxel.invalid"));
        writer.writeTextElement(QStringLiteral("address"), address);
        writer.writeStartElement(QStringLiteral("location"));
        writer.writeTextElement(QStringLiteral("name"), QString::fromUtf8(city[2]));
        writer.writeEmptyElement(QStringLiteral("coord"));
        writer.writeAttribute(QStringLiteral("lng"), QString::number(-170 + (i % 340)));
        writer.writeAttribute(QStringLiteral("lat"), QString::number(-80 + (i % 160)));
        writer.writeEndElement();
        writer.writeStartElement(QStringLiteral("country"));
        writer.writeAttribute(QStringLiteral("code"), QString::fromLatin1(city[0]));
        writer.writeCharacters(QString::fromLatin1(city[1]));
        writer.writeEndElement();
        writer.writeEndElement();
    }
    writer.writeEndElement();
    return xml;
}

QList<VpnServer> readAnswer(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd() && !reader.isStartElement())
        reader.readNext();
    VpnServersRequest request;
    request.readBody(reader);
    return request.servers();
}

bool exec(QSqlQuery &query, const QString &statement)
{
    if (query.exec(statement))
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(statement), qPrintable(query.lastError().text()));
    return false;
}

class Bench
{
public:
    explicit Bench(const QTemporaryDir &home)
        : home(home)
    {
    }

    bool setUp()
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        qputenv(Mirrow::AddressesVariable, QStringLiteral("127.0.0.1:%1").arg(closed.serverPort()).toUtf8());

        core = std::make_unique<Core>();
        if (!core->databaseManager()->open())
            return false;
        xml = serversAnswer();
        rows = readAnswer(xml);

        // The bare table beside it, with the same columns and the same settings.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), BaselineConnection);
        db.setDatabaseName(home.filePath(QStringLiteral("baseline.sqlite")));
        if (!db.open())
            return false;
        QSqlQuery query(db);
        return exec(query, QStringLiteral("PRAGMA synchronous = OFF"))
            && exec(query, QStringLiteral("PRAGMA cache_size = 10000"))
            && exec(query,
                QStringLiteral(
                    "CREATE TABLE servers (server_id INTEGER PRIMARY KEY AUTOINCREMENT, server_uid TEXT, "
                    "server_host TEXT, server_address TEXT, location_name TEXT, location_lng NUMERIC, "
                    "location_lat NUMERIC, country_code TEXT, country_name TEXT, server_ping INTEGER, "
                    "server_distance INTEGER, server_updated INTEGER, server_visible INTEGER)"));
    }

    // Reads the answer, then as the program does: stores it in the writer's thread,
    // installs what comes back in the catalogue, and sorts it by ping.
    void refresh()
    {
        VpnManager *manager = core->vpnManager();
        QEventLoop loop;
        QObject::connect(manager, &VpnManager::vpnServersChanged, &loop, &QEventLoop::quit);
        core->databaseManager()->storeServers(readAnswer(xml));
        loop.exec();
        stored = manager->count() == ServerCount;
        QList<VpnServer> byPing;
        byPing.reserve(manager->count());
        for (int i = 0; i < manager->count(); ++i)
            byPing.append(manager->server(i));
        std::stable_sort(byPing.begin(), byPing.end(),
            [](const VpnServer &a, const VpnServer &b) { return a.ping() < b.ping(); });
        sortedCount = byPing.size();
    }

    void baselineInsert()
    {
        QSqlDatabase db = QSqlDatabase::database(BaselineConnection);
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral(
            "INSERT INTO servers (server_uid, server_host, server_address, location_name, location_lng, "
            "location_lat, country_code, country_name, server_ping, server_distance, server_updated, "
            "server_visible) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 0, 0, 1, 1)"));
        for (const VpnServer &server : std::as_const(rows)) {
            insert.addBindValue(server.uid());
            insert.addBindValue(server.host());
            insert.addBindValue(server.address());
            insert.addBindValue(server.location().name());
            insert.addBindValue(server.location().coord().lng());
            insert.addBindValue(server.location().coord().lat());
            insert.addBindValue(server.country().code());
            insert.addBindValue(server.country().name());
            insert.exec();
        }
        db.commit();
    }

    void emptyBaseline()
    {
        QSqlQuery query(QSqlDatabase::database(BaselineConnection));
        exec(query, QStringLiteral("DELETE FROM servers"));
    }

    // Forgets every server, stored and in the catalogue, as in a first run.
    void emptyCatalogue()
    {
        emptyBaseline();
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("noxel")));
        exec(query, QStringLiteral("DELETE FROM vpn_servers"));
        core->vpnManager()->load();
    }

    // Pings and their times as a recent round would have left them, so that the sort has
    // work to do and no round is due.
    void storePings()
    {
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("noxel")));
        exec(query,
            QStringLiteral("UPDATE vpn_servers SET server_ping = (server_id * 7919) % 300 + 1, "
                           "server_update_ts = %1 - server_id % 600")
                .arg(QDateTime::currentSecsSinceEpoch()));
        core->vpnManager()->load();
    }

    // Whether the last refresh stored and sorted every server.
    bool check(const char *name)
    {
        if (stored && sortedCount == ServerCount)
            return true;
        std::fprintf(stderr, "%s: %lld servers sorted, stored: %s\n", name, qlonglong(sortedCount),
            stored ? "yes" : "no");
        return false;
    }

    void tearDown()
    {
        core.reset();
        QSqlDatabase::removeDatabase(BaselineConnection);
    }

private:
    const QTemporaryDir &home;
    std::unique_ptr<Core> core;
    QByteArray xml;
    QList<VpnServer> rows;
    bool stored = false;
    qsizetype sortedCount = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    if (!Benchmark::setUpProgram(home)) {
        std::fprintf(stderr, "bench_catalogue: no temporary home\n");
        return 1;
    }
    QApplication app(argc, argv);

    bool ok = true;
    {
        Bench bench(home);
        if (!bench.setUp()) {
            std::fprintf(stderr, "bench_catalogue: set-up failed\n");
            return 1;
        }
        // Every refresh after the first: the same servers again, with their pings.
        bench.refresh();
        bench.storePings();
        const Benchmark::Timing again = Benchmark::measure(
            Repetitions, [&bench] { bench.emptyBaseline(); }, [&bench] { bench.refresh(); },
            [&bench] { bench.baselineInsert(); });
        ok = bench.check("refresh_10000");
        Benchmark::report("refresh_10000", again);

        // The first refresh of a run with an empty database: every server is new.
        const Benchmark::Timing first = Benchmark::measure(
            Repetitions, [&bench] { bench.emptyCatalogue(); }, [&bench] { bench.refresh(); },
            [&bench] { bench.baselineInsert(); });
        ok = bench.check("first_refresh_10000") && ok;
        Benchmark::report("first_refresh_10000", first);
        bench.tearDown();
    }
    return ok ? 0 : 1;
}
