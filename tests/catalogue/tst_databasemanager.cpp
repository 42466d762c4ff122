#include "cataloguefixture.h"
#include "core.h"
#include "databasemanager.h"
#include "testhome.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace CatalogueFixture;

namespace {

const QString ConnectionName = QStringLiteral("noxel");

QString databaseFile()
{
    return databaseDirectory() + QStringLiteral("/main.sqlite");
}

QStringList uids(const QList<VpnServer> &servers)
{
    QStringList list;
    for (const VpnServer &server : servers)
        list.append(server.uid());
    list.sort();
    return list;
}

// Every row of the server table, column by column, in row order.
QStringList serverRows()
{
    QStringList rows;
    QSqlQuery query(QSqlDatabase::database(ConnectionName, false));
    if (!query.exec(QStringLiteral("SELECT * FROM vpn_servers ORDER BY server_id")))
        return { QStringLiteral("error: ") + query.lastError().text() };
    while (query.next()) {
        QStringList fields;
        for (int i = 0; i < query.record().count(); ++i)
            fields.append(query.value(i).toString());
        rows.append(fields.join(QLatin1Char('|')));
    }
    return rows;
}

bool execute(const QString &statement)
{
    QSqlQuery query(QSqlDatabase::database(ConnectionName, false));
    if (query.exec(statement))
        return true;
    qWarning("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
    return false;
}

ConnectionStat connectionStat(const QString &uid, Vpn::Protocol protocol, qint64 timestamp)
{
    ConnectionStat stat;
    stat.setElevated(true);
    stat.setServerUid(uid);
    stat.setProtocol(protocol);
    stat.setStatus(ConnectionStat::Broken);
    stat.setPing(27);
    stat.setCapacity(64);
    stat.setText(QStringLiteral("line 1\n\"quoted\" 'text', Ümlaut"));
    stat.setTimestamp(timestamp);
    return stat;
}

TrafficStat trafficStat(const QString &uid, const QDate &date)
{
    TrafficStat stat;
    stat.setServerUid(uid);
    stat.setDate(date);
    stat.setProtocol(Vpn::OpenVpnStealth);
    // Beyond 32 bits, as a long connection moves.
    stat.setUp(Q_INT64_C(5000000000));
    stat.setDown(Q_INT64_C(7000000001));
    return stat;
}

// Root passes every file mode check. While one of these lives, the calling thread
// runs without the capabilities that allow that, so that a read-only file is
// read-only to it as to anyone.
class ModeChecksEnforced
{
public:
    ModeChecksEnforced()
    {
        if (::geteuid() != 0)
            return;
        if (syscall(SYS_capget, &header, saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = { saved[0], saved[1] };
        reduced[0].effective
            &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        active = syscall(SYS_capset, &header, reduced) == 0;
    }
    ~ModeChecksEnforced()
    {
        if (active)
            syscall(SYS_capset, &header, saved);
    }
    bool isEffective() const { return ::geteuid() != 0 || active; }

private:
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct saved[2] = {};
    bool active = false;
};

} // namespace

// The local database: the server cache, the statistics outbox, and what happens
// when the file is damaged, read-only or refuses a write half way.
class TestDatabaseManager : public QObject
{
    Q_OBJECT

public:
    explicit TestDatabaseManager(const TestHome &) { }

private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QSqlDatabase|QThread|QObject")));
        removeDatabase();
    }

    void refreshInsertsAndUpdates()
    {
        auto core = makeCore();
        DatabaseManager *db = core->databaseManager();
        QCOMPARE(db->fileName(), databaseFile());

        QList<VpnServer> first { server(QStringLiteral("a"), QStringLiteral("127.0.0.1")),
            server(QStringLiteral("b"), QStringLiteral("127.0.0.2")) };
        QVERIFY(db->updateServers(first));
        QVERIFY(first.at(0).id() > 0);
        QVERIFY(first.at(1).id() > 0);
        QVERIFY(first.at(0).id() != first.at(1).id());
        QCOMPARE(db->serverByUid(QStringLiteral("a")).id(), first.at(0).id());
        QCOMPARE(db->serverByUid(QStringLiteral("b")).id(), first.at(1).id());

        VpnServer a = db->serverByUid(QStringLiteral("a"));
        db->setPing(a, 42);
        db->setConnectionTime(a);
        const VpnServer measured = db->serverByUid(QStringLiteral("a"));
        QCOMPARE(measured.ping(), 42);
        QVERIFY(measured.pingTime().isValid());
        QVERIFY(measured.connectionTime().isValid());

        // "a" moves, "b" leaves the list, "c" is new.
        QList<VpnServer> second { server(QStringLiteral("a"), QStringLiteral("127.0.0.9"), -33.9, 151.2),
            server(QStringLiteral("c"), QStringLiteral("127.0.0.3")) };
        second[0].setHost(QStringLiteral("moved.servers.test"));
        QVERIFY(db->updateServers(second));
        QVERIFY(second.at(1).id() > first.at(1).id());
        // The stored list hands back what was measured of the servers shown before.
        QCOMPARE(second.at(0).id(), first.at(0).id());
        QCOMPARE(second.at(0).ping(), 42);
        QCOMPARE(second.at(0).pingTime(), measured.pingTime());
        QCOMPARE(second.at(1).ping(), server(QStringLiteral("c"), QString()).ping());
        QCOMPARE(db->serverByUid(QStringLiteral("c")).id(), second.at(1).id());

        const VpnServer moved = db->serverByUid(QStringLiteral("a"));
        QCOMPARE(moved.id(), first.at(0).id());
        QCOMPARE(moved.host(), QStringLiteral("moved.servers.test"));
        QCOMPARE(moved.address(), QStringLiteral("127.0.0.9"));
        QCOMPARE(moved.location().name(), QStringLiteral("City of a"));
        QCOMPARE(moved.location().coord().lat(), -33.9);
        QCOMPARE(moved.location().coord().lng(), 151.2);
        QCOMPARE(moved.country().code(), QStringLiteral("DE"));
        QCOMPARE(moved.country().name(), QStringLiteral("Germany"));
        QCOMPARE(moved.ping(), 42);
        QCOMPARE(moved.pingTime(), measured.pingTime());
        QCOMPARE(moved.connectionTime(), measured.connectionTime());

        QCOMPARE(uids(db->visibleServers()), (QStringList { QStringLiteral("a"), QStringLiteral("c") }));
        const VpnServer gone = db->serverByUid(QStringLiteral("b"));
        QVERIFY(!gone.isNull());
        QCOMPARE(gone.id(), first.at(1).id());
        QCOMPARE(gone.address(), QStringLiteral("127.0.0.2"));
        // One row per uid, however often it is refreshed.
        QCOMPARE(serverRows().size(), 3);

        // "b" comes back as it was, "a" stays as it is, "c" leaves.
        QList<VpnServer> third { second.at(0), first.at(1) };
        VpnServer hidden = db->serverByUid(QStringLiteral("b"));
        db->setPing(hidden, 55);
        QVERIFY(db->updateServers(third));
        // What was measured of a hidden server is no measurement of it now.
        QCOMPARE(third.at(1).id(), first.at(1).id());
        QCOMPARE(third.at(1).ping(), first.at(1).ping());
        QCOMPARE(uids(db->visibleServers()), (QStringList { QStringLiteral("a"), QStringLiteral("b") }));
        QCOMPARE(db->serverByUid(QStringLiteral("a")).host(), QStringLiteral("moved.servers.test"));
        QCOMPARE(db->serverByUid(QStringLiteral("b")).id(), first.at(1).id());
        QCOMPARE(serverRows().size(), 3);
    }

    // The provider lists a uid twice: one server, one row, stored as listed last.
    void uidListedTwice_data()
    {
        QTest::addColumn<QString>("secondHost");
        QTest::newRow("listed alike") << QStringLiteral("a.servers.test");
        QTest::newRow("listed otherwise") << QStringLiteral("other.servers.test");
    }

    void uidListedTwice()
    {
        QFETCH(QString, secondHost);
        auto core = makeCore();
        DatabaseManager *db = core->databaseManager();
        for (int round = 0; round < 2; ++round) {
            QList<VpnServer> servers { server(QStringLiteral("a"), QStringLiteral("127.0.0.1")),
                server(QStringLiteral("b"), QStringLiteral("127.0.0.2")),
                server(QStringLiteral("a"), QStringLiteral("127.0.0.1")) };
            servers[2].setHost(secondHost);
            QVERIFY(db->updateServers(servers));
            QVERIFY(servers.at(0).id() > 0);
            QCOMPARE(servers.at(2).id(), servers.at(0).id());
            QCOMPARE(serverRows().size(), 2);
            QCOMPARE(db->serverByUid(QStringLiteral("a")).host(), secondHost);
        }
    }

    // New servers are added many to a statement: every one gets its own row's id,
    // whatever the number, beside servers already known.
    void manyNewServers_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("one short of a statement") << 63;
        QTest::newRow("one statement") << 64;
        QTest::newRow("two statements and a row") << 129;
    }

    void manyNewServers()
    {
        QFETCH(int, count);
        auto core = makeCore();
        DatabaseManager *db = core->databaseManager();
        QList<VpnServer> known { server(QStringLiteral("known"), QStringLiteral("127.0.0.1")) };
        QVERIFY(db->updateServers(known));
        QList<VpnServer> servers = known;
        for (int i = 0; i < count; ++i)
            servers.append(
                server(QStringLiteral("new-%1").arg(i), QStringLiteral("127.0.1.%1").arg(i % 250)));
        std::swap(servers[0], servers[count / 2]);
        QVERIFY(db->updateServers(servers));
        QSet<qint64> ids;
        for (const VpnServer &listed : std::as_const(servers)) {
            QCOMPARE(db->serverByUid(listed.uid()).id(), listed.id());
            ids.insert(listed.id());
        }
        QCOMPARE(ids.size(), count + 1);
        QVERIFY(!ids.contains(0));
        QCOMPARE(db->serverByUid(QStringLiteral("known")).id(), known.at(0).id());
        QCOMPARE(serverRows().size(), count + 1);
    }

    void fastestServer_data()
    {
        QTest::addColumn<QList<int>>("pings");
        QTest::addColumn<int>("leaving");
        QTest::addColumn<QString>("fastest");
        QTest::newRow("lowest ping") << QList<int> { 30, 20, 25 } << -1 << QStringLiteral("s1");
        QTest::newRow("0 and -1 are no measurement")
            << QList<int> { 0, -1, 40 } << -1 << QStringLiteral("s2");
        QTest::newRow("nothing measured") << QList<int> { 0, -1 } << -1 << QString();
        QTest::newRow("the fastest left the list") << QList<int> { 10, 20 } << 0 << QStringLiteral("s1");
    }

    void fastestServer()
    {
        QFETCH(QList<int>, pings);
        QFETCH(int, leaving);
        QFETCH(QString, fastest);
        auto core = makeCore();
        DatabaseManager *db = core->databaseManager();
        QList<VpnServer> servers;
        for (int i = 0; i < pings.size(); ++i)
            servers.append(server(QStringLiteral("s%1").arg(i), QStringLiteral("127.0.0.%1").arg(i + 1)));
        QVERIFY(db->updateServers(servers));
        for (int i = 0; i < pings.size(); ++i)
            db->setPing(servers[i], pings.at(i));
        if (leaving >= 0) {
            servers.removeAt(leaving);
            QVERIFY(db->updateServers(servers));
        }
        QCOMPARE(db->fastestServer().uid(), fastest);
        QCOMPARE(db->fastestServer().isNull(), fastest.isEmpty());
    }

    void lastConnectedServer()
    {
        auto core = makeCore();
        DatabaseManager *db = core->databaseManager();
        QList<VpnServer> servers { server(QStringLiteral("a"), QStringLiteral("127.0.0.1")),
            server(QStringLiteral("b"), QStringLiteral("127.0.0.2")) };
        QVERIFY(db->updateServers(servers));
        db->setPing(servers[0], 12);
        QVERIFY(db->lastConnectedServer().isNull());

        db->setConnectionTime(servers[1]);
        QCOMPARE(db->lastConnectedServer().uid(), QStringLiteral("b"));
        core.reset();
        core = makeCore();
        QCOMPARE(core->databaseManager()->lastConnectedServer().uid(), QStringLiteral("b"));
    }

    void statisticsOutlastTheRun()
    {
        const QDate today = QDate::currentDate();
        const QList<ConnectionStat> stats { connectionStat(QStringLiteral("a"), Vpn::OpenVpnTcp,
                                                Q_INT64_C(1767225600123)),
            connectionStat(QStringLiteral("b"), Vpn::L2tp, 17) };
        const QList<TrafficStat> traffic { trafficStat(QStringLiteral("a"), today),
            trafficStat(QStringLiteral("b"), today.addDays(-400)) };
        {
            auto core = makeCore();
            QVERIFY(core->databaseManager()->addStats(stats));
            QVERIFY(core->databaseManager()->addTrafficStats(traffic));
        }

        auto core = makeCore();
        DatabaseManager *db = core->databaseManager();
        const QList<ConnectionStat> taken = db->takeStats();
        QCOMPARE(taken.size(), stats.size());
        for (int i = 0; i < stats.size(); ++i) {
            QCOMPARE(taken.at(i).serverUid(), stats.at(i).serverUid());
            QCOMPARE(taken.at(i).protocol(), stats.at(i).protocol());
            QCOMPARE(taken.at(i).status(), stats.at(i).status());
            QCOMPARE(taken.at(i).ping(), stats.at(i).ping());
            QCOMPARE(taken.at(i).capacity(), stats.at(i).capacity());
            QCOMPARE(taken.at(i).text(), stats.at(i).text());
            QCOMPARE(taken.at(i).timestamp(), stats.at(i).timestamp());
            // Elevation belongs to the run that made the attempt.
            QVERIFY(!taken.at(i).isElevated());
        }
        const QList<TrafficStat> takenTraffic = db->takeTrafficStats();
        QCOMPARE(takenTraffic.size(), traffic.size());
        for (int i = 0; i < traffic.size(); ++i) {
            QCOMPARE(takenTraffic.at(i).serverUid(), traffic.at(i).serverUid());
            QCOMPARE(takenTraffic.at(i).date(), traffic.at(i).date());
            QCOMPARE(takenTraffic.at(i).protocol(), traffic.at(i).protocol());
            QCOMPARE(takenTraffic.at(i).up(), traffic.at(i).up());
            QCOMPARE(takenTraffic.at(i).down(), traffic.at(i).down());
        }

        QVERIFY(db->takeStats().isEmpty());
        QVERIFY(db->takeTrafficStats().isEmpty());
        QSqlQuery count(QSqlDatabase::database(ConnectionName, false));
        QVERIFY(
            count.exec(QStringLiteral("SELECT (SELECT count(*) FROM stat) + (SELECT count(*) FROM tstat)")));
        QVERIFY(count.next());
        QCOMPARE(count.value(0).toInt(), 0);
    }

    void databaseWithoutIndex()
    {
        QVERIFY(QDir().mkpath(databaseDirectory()));
        {
            QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
            old.setDatabaseName(databaseFile());
            QVERIFY(old.open());
            QSqlQuery query(old);
            QVERIFY(query.exec(QStringLiteral(
                "CREATE TABLE vpn_servers (server_id INTEGER PRIMARY KEY AUTOINCREMENT, server_uid TEXT, "
                "server_host TEXT, server_address TEXT, location_name TEXT, location_lng NUMERIC, "
                "location_lat "
                "NUMERIC, country_code TEXT, country_name TEXT, server_ping INTEGER, server_distance "
                "INTEGER, "
                "server_connection_ts INTEGER, server_update_ts INTEGER, server_updated INTEGER, "
                "server_visible "
                "INTEGER)")));
            QVERIFY(query.exec(QStringLiteral("INSERT INTO vpn_servers (server_uid, server_host, "
                                              "server_address, server_ping, server_distance, "
                                              "server_update_ts, server_updated, server_visible) VALUES "
                                              "('old', 'old.servers.test', '127.0.0.5', "
                                              "33, 0, 1700000000, 1, 1)")));
            old.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));

        auto core = makeCore(false);
        DatabaseManager *db = core->databaseManager();
        QVERIFY(db->open());
        const QList<VpnServer> kept = db->visibleServers();
        QCOMPARE(uids(kept), QStringList { QStringLiteral("old") });
        QCOMPARE(kept.at(0).ping(), 33);
        QCOMPARE(kept.at(0).pingTime(), QDateTime::fromSecsSinceEpoch(1700000000));

        QList<VpnServer> servers { server(QStringLiteral("old"), QStringLiteral("127.0.0.6")),
            server(QStringLiteral("new"), QStringLiteral("127.0.0.7")) };
        QVERIFY(db->updateServers(servers));
        QVERIFY(servers.at(1).id() > kept.at(0).id());
        QCOMPARE(db->serverByUid(QStringLiteral("old")).address(), QStringLiteral("127.0.0.6"));
        QCOMPARE(db->serverByUid(QStringLiteral("old")).ping(), 33);
        QCOMPARE(db->fastestServer().uid(), QStringLiteral("old"));
        QVERIFY(db->addStats({ connectionStat(QStringLiteral("old"), Vpn::OpenVpnUdp, 1) }));
        QCOMPARE(db->takeStats().size(), 1);
    }

    void damagedFileMovedAside_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray noise(8192, Qt::Uninitialized);
        QRandomGenerator random(7);
        for (char &byte : noise)
            byte = char(random.bounded(256));
        QTest::newRow("random bytes") << noise;
        QTest::newRow("text") << QByteArray("servers=a,b,c\n").repeated(100);
        QTest::newRow("SQLite header, then noise") << QByteArray("SQLite format 3\0", 16) + noise;
    }

    void damagedFileMovedAside()
    {
        QFETCH(QByteArray, content);
        QVERIFY(QDir().mkpath(databaseDirectory()));
        {
            QFile file(databaseFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }

        auto core = makeCore(false);
        DatabaseManager *db = core->databaseManager();
        QVERIFY(db->open());
        const QStringList aside
            = QDir(databaseDirectory()).entryList({ QStringLiteral("main.sqlite.damaged-*") }, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^main\\.sqlite\\.damaged-\\d{8}-\\d{6}$"))
                     .match(aside.at(0))
                     .hasMatch(),
            qPrintable(aside.at(0)));
        QFile kept(databaseDirectory() + QLatin1Char('/') + aside.at(0));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), content);
        QTRY_VERIFY(genericLog(core.get()).contains(aside.at(0)));

        // The fresh file takes a list and statistics.
        QList<VpnServer> servers { server(QStringLiteral("a"), QStringLiteral("127.0.0.1")) };
        QVERIFY(db->updateServers(servers));
        QVERIFY(servers.at(0).id() > 0);
        QCOMPARE(uids(db->visibleServers()), QStringList { QStringLiteral("a") });
        QVERIFY(db->addStats({ connectionStat(QStringLiteral("a"), Vpn::OpenVpnUdp, 1) }));
    }

    void unwritableDatabaseKeepsStatistics_data()
    {
        QTest::addColumn<bool>("readOnlyFile");
        QTest::newRow("read-only file and folder") << true;
        QTest::newRow("database folder is a file") << false;
    }

    void unwritableDatabaseKeepsStatistics()
    {
        QFETCH(bool, readOnlyFile);
        const ConnectionStat earlier = connectionStat(QStringLiteral("earlier"), Vpn::OpenVpnUdp, 1);
        const ConnectionStat later = connectionStat(QStringLiteral("later"), Vpn::OpenVpnTcp, 2);
        const TrafficStat laterTraffic = trafficStat(QStringLiteral("later"), QDate::currentDate());
        const auto restore = qScopeGuard(&removeDatabase);
        if (readOnlyFile) {
            {
                auto core = makeCore();
                QVERIFY(core->databaseManager()->addStats({ earlier }));
            }
            QVERIFY(QFile::setPermissions(
                databaseFile(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            QVERIFY(QFile::setPermissions(databaseDirectory(),
                QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                    | QFile::ExeOther));
        } else {
            QVERIFY(QDir().mkpath(QFileInfo(databaseDirectory()).path()));
            QFile blocker(databaseDirectory());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }

        {
            ModeChecksEnforced enforced;
            if (!enforced.isEffective())
                QSKIP("Running as root without the right to give up its file mode override.");
            auto core = makeCore(false);
            DatabaseManager *db = core->databaseManager();
            // A read-only file still serves what it holds.
            QCOMPARE(db->open(), readOnlyFile);
            QVERIFY(!db->addStats({ later }));
            QVERIFY(!db->addTrafficStats({ laterTraffic }));
            QTRY_VERIFY(genericLog(core.get()).contains(QStringLiteral("kept in memory")));

            const QList<ConnectionStat> taken = db->takeStats();
            QVERIFY(std::any_of(taken.cbegin(), taken.cend(),
                [](const ConnectionStat &stat) { return stat.serverUid() == QLatin1String("later"); }));
            const QList<TrafficStat> takenTraffic = db->takeTrafficStats();
            QCOMPARE(takenTraffic.size(), 1);
            QCOMPARE(takenTraffic.at(0).serverUid(), QStringLiteral("later"));
            QCOMPARE(takenTraffic.at(0).up(), laterTraffic.up());
            // Handed out once.
            const QList<ConnectionStat> again = db->takeStats();
            for (const ConnectionStat &stat : again)
                QVERIFY(stat.serverUid() != QLatin1String("later"));
            QVERIFY(db->takeTrafficStats().isEmpty());
        }

        if (readOnlyFile) {
            // What was stored before is still there once the file can be written again.
            QVERIFY(QFile::setPermissions(
                databaseDirectory(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            QVERIFY(QFile::setPermissions(databaseFile(), QFile::ReadOwner | QFile::WriteOwner));
            auto core = makeCore();
            const QList<ConnectionStat> taken = core->databaseManager()->takeStats();
            QCOMPARE(taken.size(), 1);
            QCOMPARE(taken.at(0).serverUid(), QStringLiteral("earlier"));
        }
    }

    void failedRefreshIsUndone_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QStringList>("refresh");
        QTest::newRow("second new server refused")
            << QStringLiteral("BEFORE INSERT ON vpn_servers WHEN NEW.server_uid = 'd'")
            << QStringList { QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("d") };
        QTest::newRow("known server refused after a new one")
            << QStringLiteral("BEFORE UPDATE OF server_host ON vpn_servers WHEN NEW.server_uid = 'b'")
            << QStringList { QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("b") };
    }

    void failedRefreshIsUndone()
    {
        QFETCH(QString, trigger);
        QFETCH(QStringList, refresh);
        auto core = makeCore();
        DatabaseManager *db = core->databaseManager();
        QList<VpnServer> servers { server(QStringLiteral("a"), QStringLiteral("127.0.0.1")),
            server(QStringLiteral("b"), QStringLiteral("127.0.0.2")),
            server(QStringLiteral("e"), QStringLiteral("127.0.0.5")) };
        QVERIFY(db->updateServers(servers));
        db->setPing(servers[1], 17);
        // "e" is already out of the list.
        servers.removeLast();
        QVERIFY(db->updateServers(servers));
        const QStringList before = serverRows();
        QVERIFY(execute(QStringLiteral("CREATE TRIGGER refuse ") + trigger
            + QStringLiteral(" BEGIN SELECT RAISE(ABORT, 'refused by the test'); END")));

        QList<VpnServer> fresh;
        for (const QString &uid : std::as_const(refresh)) {
            fresh.append(server(uid, QStringLiteral("127.0.1.") + QString::number(fresh.size() + 1)));
            fresh.last().setHost(QStringLiteral("renamed.servers.test"));
        }
        QVERIFY(!db->updateServers(fresh));
        QCOMPARE(serverRows(), before);
        QCOMPARE(uids(db->visibleServers()), (QStringList { QStringLiteral("a"), QStringLiteral("b") }));
        for (const VpnServer &server : std::as_const(fresh))
            QCOMPARE(server.id(), 0);
        QTRY_VERIFY(genericLog(core.get()).contains(QStringLiteral("refused by the test")));

        // The same list goes in once the database takes it.
        QVERIFY(execute(QStringLiteral("DROP TRIGGER refuse")));
        QVERIFY(db->updateServers(fresh));
        QCOMPARE(uids(db->visibleServers()), uids(fresh));
        QVERIFY(fresh.at(1).id() > 0);
        QCOMPARE(db->serverByUid(QStringLiteral("b")).ping(), 17);
    }
};

NOXEL_APP_TEST_MAIN(TestDatabaseManager)
#include "tst_databasemanager.moc"
