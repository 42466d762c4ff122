#include "cataloguefixture.h"
#include "context.h"
#include "core.h"
#include "databasemanager.h"
#include "providersimulator.h"
#include "resolverstub.h"
#include "testhome.h"
#include "vpnmanager.h"

#include <QApplication>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using namespace CatalogueFixture;

namespace {

// A server of a test list as "uid:state[:ping]", state one of "new" (never pinged),
// "fresh" (pinged just now) and "stale" (pinged two hours ago).
struct Seed
{
    QString uid;
    QString state;
    int ping = 0;
};

Seed parseSeed(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    return { parts.value(0), parts.value(1), parts.value(2, QStringLiteral("40")).toInt() };
}

// Puts the servers into the database with the measurements their states say.
bool seedDatabase(
    Core *core, const QStringList &seeds, const QString &addressPattern = QStringLiteral("127.0.0.%1"))
{
    DatabaseManager *db = core->databaseManager();
    QList<VpnServer> servers;
    for (int i = 0; i < seeds.size(); ++i)
        servers.append(server(parseSeed(seeds.at(i)).uid, addressPattern.arg(i + 1)));
    if (!db->updateServers(servers))
        return false;
    for (int i = 0; i < seeds.size(); ++i) {
        const Seed seed = parseSeed(seeds.at(i));
        if (seed.state == QLatin1String("new"))
            continue;
        db->setPing(servers[i], seed.ping);
        if (seed.state == QLatin1String("stale")) {
            QSqlQuery query(QSqlDatabase::database(QStringLiteral("noxel"), false));
            query.prepare(QStringLiteral("UPDATE vpn_servers SET server_update_ts=? WHERE server_uid=?"));
            query.addBindValue(QDateTime::currentDateTime().addSecs(-7200).toSecsSinceEpoch());
            query.addBindValue(seed.uid);
            if (!query.exec())
                return false;
        }
    }
    return true;
}

QStringList uidsOf(const VpnManager *manager)
{
    QStringList uids;
    for (int i = 0; i < manager->count(); ++i)
        uids.append(manager->server(i).uid());
    return uids;
}

// The uids of the servers whose ping arrived, in order of arrival.
class PingRecorder : public QObject
{
public:
    explicit PingRecorder(VpnManager *manager)
    {
        connect(manager, &VpnManager::vpnServerChanged, this,
            [this, manager](int index) { uids.append(manager->server(index).uid()); });
    }
    QStringList uids;
};

} // namespace

// The catalogue manager: its list, its rounds of pings and its readiness.
class TestVpnManager : public QObject
{
    Q_OBJECT

public:
    explicit TestVpnManager(const TestHome &) { }

private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QSqlDatabase|QThread|QObject")));
        removeDatabase();
        QSettings().clear();
        ResolverStub::reset();
    }

    void emptyList_data()
    {
        QTest::addColumn<bool>("fromProvider");
        QTest::newRow("from the database") << false;
        QTest::newRow("from the provider") << true;
    }

    void emptyList()
    {
        QFETCH(bool, fromProvider);
        ProviderSimulator simulator;
        std::unique_ptr<Core> core;
        if (fromProvider) {
            QVERIFY(simulator.start(providerData(QJsonArray())));
            core = makeSignedInCore(simulator);
        } else {
            core = makeCore();
        }
        VpnManager *manager = core->vpnManager();
        QSignalSpy ready(manager, &VpnManager::readyConnect);
        QSignalSpy changed(manager, &VpnManager::vpnServerChanged);
        // Rounds every second from the timer once the provider's list is in.
        core->context()->setVariables({ { QStringLiteral("ping_update_interval"), 1 } });
        emit core->variablesUpdated();
        manager->load();
        if (fromProvider) {
            QVERIFY(manager->updateVpnServers());
            QTRY_VERIFY(manager->isLoaded());
        }
        QTest::qWait(1500);
        QCOMPARE(manager->count(), 0);
        QVERIFY(!manager->hasServers());
        QVERIFY(!manager->isReady());
        QCOMPARE(ready.count(), 0);
        QCOMPARE(changed.count(), 0);
    }

    void refreshKeepsMeasurements_data()
    {
        QTest::addColumn<bool>("fromProvider");
        QTest::newRow("through the database") << false;
        QTest::newRow("from the provider") << true;
    }

    void refreshKeepsMeasurements()
    {
        QFETCH(bool, fromProvider);
        ProviderSimulator simulator;
        QVERIFY(simulator.start(
            providerData(QJsonArray { providerServer(QStringLiteral("a"), QStringLiteral("127.0.0.1"), 50),
                providerServer(QStringLiteral("b"), QStringLiteral("127.0.0.2"), 50),
                providerServer(QStringLiteral("c"), QStringLiteral("127.0.0.3"), 50) })));
        auto core = makeSignedInCore(simulator);
        QVERIFY(seedDatabase(core.get(), { QStringLiteral("a:fresh:25"), QStringLiteral("b:fresh:30") }));
        VpnManager *manager = core->vpnManager();
        QSignalSpy ready(manager, &VpnManager::readyConnect);
        manager->load();
        QTRY_COMPARE(ready.count(), 1);
        const VpnServer a = manager->server(manager->indexOf(QStringLiteral("a")));
        QCOMPARE(a.ping(), 25);
        QVERIFY(a.pingTime().isValid());
        QVERIFY(a.id() > 0);

        // What the list holds when it is announced, before any ping of the new round.
        QList<VpnServer> announced;
        connect(manager, &VpnManager::vpnServersChanged, this, [&announced, manager] {
            announced.clear();
            for (int i = 0; i < manager->count(); ++i)
                announced.append(manager->server(i));
        });
        PingRecorder pings(manager);
        if (fromProvider) {
            QVERIFY(manager->updateVpnServers());
        } else {
            QList<VpnServer> list { server(QStringLiteral("a"), QStringLiteral("127.0.0.1")),
                server(QStringLiteral("b"), QStringLiteral("127.0.0.2")),
                server(QStringLiteral("c"), QStringLiteral("127.0.0.3")) };
            QVERIFY(core->databaseManager()->updateServers(list));
            manager->load();
        }
        QTRY_COMPARE(announced.size(), 3);
        QCOMPARE(announced.at(0).uid(), QStringLiteral("a"));
        QCOMPARE(announced.at(0).ping(), 25);
        QCOMPARE(announced.at(0).pingTime(), a.pingTime());
        QCOMPARE(announced.at(0).id(), a.id());
        QCOMPARE(announced.at(1).ping(), 30);
        QCOMPARE(announced.at(2).uid(), QStringLiteral("c"));
        QVERIFY(announced.at(2).pingTime().isNull());
        QVERIFY(announced.at(2).ping() <= 0);
        QVERIFY(announced.at(2).id() > a.id());
        QCOMPARE(manager->serverById(announced.at(2).id()).uid(), QStringLiteral("c"));

        // Only the new server needs a ping.
        QTRY_COMPARE(pings.uids, QStringList { QStringLiteral("c") });
        QTest::qWait(300);
        QCOMPARE(pings.uids, QStringList { QStringLiteral("c") });
        QVERIFY(manager->server(2).pingTime().isValid());
        // Loopback answers wherever echoes may be sent.
        QVERIFY(manager->server(2).ping() >= 1 || !noEchoReason().isEmpty());
        QCOMPARE(manager->server(0).ping(), 25);
        QCOMPARE(ready.count(), 1);
    }

    // A list read from the database before a ping came in does not undo that ping.
    void storedListKeepsLaterPings()
    {
        auto core = makeCore();
        QVERIFY(seedDatabase(core.get(), { QStringLiteral("a:stale:40"), QStringLiteral("b:fresh:30") }));
        DatabaseManager *db = core->databaseManager();
        const QList<VpnServer> storedBefore = db->visibleServers();
        VpnManager *manager = core->vpnManager();
        PingRecorder pings(manager);
        manager->load();
        QTRY_COMPARE(pings.uids, QStringList { QStringLiteral("a") });
        const VpnServer measured = manager->server(manager->indexOf(QStringLiteral("a")));
        QVERIFY(measured.pingTime() > storedBefore.at(0).pingTime());

        emit db->serversStored(storedBefore);
        const VpnServer a = manager->server(manager->indexOf(QStringLiteral("a")));
        QCOMPARE(a.pingTime(), measured.pingTime());
        QCOMPARE(a.ping(), measured.ping());
        QCOMPARE(manager->server(manager->indexOf(QStringLiteral("b"))).ping(), 30);
    }

    // Each server is found by its uid after a refresh, whatever order the provider
    // lists them in.
    void refreshedListFindsEveryServer_data()
    {
        QTest::addColumn<QStringList>("refresh");
        QTest::newRow("same order") << QStringList { QStringLiteral("a"), QStringLiteral("b"),
            QStringLiteral("c") };
        QTest::newRow("other order") << QStringList { QStringLiteral("c"), QStringLiteral("a"),
            QStringLiteral("b") };
        QTest::newRow("one more") << QStringList { QStringLiteral("b"), QStringLiteral("d"),
            QStringLiteral("c"), QStringLiteral("a") };
    }

    void refreshedListFindsEveryServer()
    {
        QFETCH(QStringList, refresh);
        auto core = makeCore();
        DatabaseManager *db = core->databaseManager();
        VpnManager *manager = core->vpnManager();
        for (const QStringList &uids :
            { QStringList { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") }, refresh }) {
            QList<VpnServer> servers;
            for (const QString &uid : uids)
                servers.append(server(uid, QStringLiteral("127.0.3.%1").arg(uid.at(0).unicode())));
            QVERIFY(db->updateServers(servers));
            emit db->serversStored(servers);
        }
        QCOMPARE(uidsOf(manager), refresh);
        for (const QString &uid : std::as_const(refresh)) {
            const VpnServer found = manager->server(manager->indexOf(uid));
            QCOMPARE(found.uid(), uid);
            QCOMPARE(manager->serverById(found.id()).uid(), uid);
        }
    }

    // One answer from an address is the ping of every server there.
    void sharedAddressPingedOnce()
    {
        auto core = makeCore();
        QList<VpnServer> servers { server(QStringLiteral("a"), QStringLiteral("127.0.0.7")),
            server(QStringLiteral("b"), QStringLiteral("127.0.0.8")),
            server(QStringLiteral("c"), QStringLiteral("127.0.0.7")) };
        QVERIFY(core->databaseManager()->updateServers(servers));
        VpnManager *manager = core->vpnManager();
        PingRecorder pings(manager);
        manager->load();
        QTRY_VERIFY(manager->server(0).pingTime().isValid() && manager->server(1).pingTime().isValid()
            && manager->server(2).pingTime().isValid());
        QCOMPARE(manager->server(0).ping(), manager->server(2).ping());
        QCOMPARE(core->databaseManager()->serverByUid(QStringLiteral("c")).ping(), manager->server(2).ping());
    }

    void pingRounds_data()
    {
        QTest::addColumn<QStringList>("seeds");
        QTest::addColumn<QStringList>("pinged");
        QTest::newRow("all pinged within the interval")
            << QStringList { QStringLiteral("a:fresh"), QStringLiteral("b:fresh"), QStringLiteral("c:fresh") }
            << QStringList();
        QTest::newRow("some pinged too long ago") << QStringList { QStringLiteral("a:fresh"),
            QStringLiteral("b:stale"), QStringLiteral("c:fresh"), QStringLiteral("d:stale") }
                                                  << QStringList { QStringLiteral("b"), QStringLiteral("d") };
        QTest::newRow("new servers before stale ones")
            << QStringList { QStringLiteral("a:stale"), QStringLiteral("b:stale"), QStringLiteral("c:stale"),
                   QStringLiteral("d:stale"), QStringLiteral("n1:new"), QStringLiteral("n2:new") }
            << QStringList { QStringLiteral("n1"), QStringLiteral("n2"), QStringLiteral("a"),
                   QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d") };
        QTest::newRow("none pinged yet") << QStringList { QStringLiteral("a:new"), QStringLiteral("b:new") }
                                         << QStringList { QStringLiteral("a"), QStringLiteral("b") };
    }

    void pingRounds()
    {
        QFETCH(QStringList, seeds);
        QFETCH(QStringList, pinged);
        auto core = makeCore();
        QVERIFY(seedDatabase(core.get(), seeds));
        VpnManager *manager = core->vpnManager();
        QSignalSpy ready(manager, &VpnManager::readyConnect);
        PingRecorder pings(manager);
        // Ready means every server has a fresh ping: none is still being measured.
        QStringList unmeasuredWhenReady;
        connect(manager, &VpnManager::readyConnect, this, [&] {
            const QDateTime threshold = QDateTime::currentDateTime().addSecs(-manager->pingInterval());
            for (int i = 0; i < manager->count(); ++i) {
                if (!(manager->server(i).pingTime() > threshold))
                    unmeasuredWhenReady.append(manager->server(i).uid());
            }
        });
        manager->load();
        QVERIFY(!manager->isReady());
        QTRY_COMPARE(ready.count(), 1);
        QCOMPARE(unmeasuredWhenReady, QStringList());
        QVERIFY(manager->isReady());
        QTest::qWait(300);
        QCOMPARE(ready.count(), 1);

        QStringList sorted = pings.uids;
        sorted.sort();
        QStringList expected = pinged;
        expected.sort();
        QCOMPARE(sorted, expected);
        // Servers never pinged go out in the first round of three, before the stale
        // ones; the results of one round arrive in any order.
        const QStringList unmeasured = pinged.filter(QRegularExpression(QStringLiteral("^n")));
        for (const QString &uid : unmeasured)
            QVERIFY2(pings.uids.indexOf(uid) < 3, qPrintable(pings.uids.join(QLatin1Char(' '))));
        for (const QString &uid : std::as_const(pinged))
            QVERIFY(manager->server(manager->indexOf(uid)).pingTime().isValid());
    }

    void atMostThreePingsOutstanding()
    {
        auto core = makeCore();
        QStringList seeds;
        for (int i = 1; i <= 10; ++i)
            seeds.append(QStringLiteral("s%1:new").arg(i));
        // Names the stub resolves to 127.0.0.<n> after a while, so that a ping's start
        // shows as a lookup.
        QVERIFY(seedDatabase(core.get(), seeds, QStringLiteral("%1.loop.test")));
        VpnManager *manager = core->vpnManager();
        // Pings started and not yet reported, seen as each result arrives.
        int results = 0;
        int outstandingMost = 0;
        connect(manager, &VpnManager::vpnServerChanged, this, [&results, &outstandingMost] {
            int started = 0;
            for (int i = 1; i <= 10; ++i)
                started += ResolverStub::lookups(QStringLiteral("%1.loop.test").arg(i));
            outstandingMost = qMax(outstandingMost, started - results);
            ++results;
        });
        QSignalSpy ready(manager, &VpnManager::readyConnect);
        manager->load();
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, 10000);
        QCOMPARE(results, 10);
        QVERIFY2(outstandingMost <= 3, qPrintable(QString::number(outstandingMost)));
        QVERIFY2(ResolverStub::maxInFlight() <= 3, qPrintable(QString::number(ResolverStub::maxInFlight())));
        for (int i = 1; i <= 10; ++i)
            QCOMPARE(ResolverStub::lookups(QStringLiteral("%1.loop.test").arg(i)), 1);
        for (int i = 0; i < manager->count(); ++i)
            QVERIFY(manager->server(i).ping() >= 1 || !noEchoReason().isEmpty());
    }

    void oneRequestAtATime()
    {
        ProviderSimulator simulator;
        QVERIFY(simulator.start(ProviderSimulator::demoData()));
        auto core = makeSignedInCore(simulator);
        VpnManager *manager = core->vpnManager();
        manager->load();
        QSignalSpy changed(manager, &VpnManager::vpnServersChanged);
        QVERIFY(manager->updateVpnServers());
        QVERIFY(!manager->updateVpnServers());
        QTRY_VERIFY(manager->isLoaded());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(uidsOf(manager),
            (QStringList {
                QStringLiteral("de-fra-1"), QStringLiteral("nl-ams-1"), QStringLiteral("us-nyc-1") }));
        const auto requests = [&simulator] {
            int count = 0;
            for (const ProviderSimulator::Envelope &envelope : simulator.envelopes())
                count += envelope.kind == QLatin1String("vpn-servers");
            return count;
        };
        QCOMPARE(requests(), 1);

        // Once answered, the next refresh may go.
        QVERIFY(manager->updateVpnServers());
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(requests(), 2);
    }

    void pingIntervalFromVariables_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("interval");
        QTest::newRow("two minutes") << QVariant(120) << 120;
        QTest::newRow("as text") << QVariant(QStringLiteral("900")) << 900;
        QTest::newRow("zero") << QVariant(0) << 3600;
        QTest::newRow("negative") << QVariant(-5) << 3600;
        QTest::newRow("not a number") << QVariant(QStringLiteral("soon")) << 3600;
    }

    void pingIntervalFromVariables()
    {
        QFETCH(QVariant, value);
        QFETCH(int, interval);
        {
            auto core = makeCore();
            QCOMPARE(core->vpnManager()->pingInterval(), 3600);
            core->context()->setVariables({ { QStringLiteral("ping_update_interval"), value } });
            emit core->variablesUpdated();
            QCOMPARE(core->vpnManager()->pingInterval(), interval);
        }
        QSettings settings;
        settings.sync();
        QCOMPARE(settings.contains(QStringLiteral("ping_update_interval")), interval != 3600);
        if (interval != 3600)
            QCOMPARE(settings.value(QStringLiteral("ping_update_interval")).toInt(), interval);
        // The next run starts with it.
        auto core = makeCore();
        QCOMPARE(core->vpnManager()->pingInterval(), interval);
    }
};

NOXEL_APP_TEST_MAIN(TestVpnManager)
#include "tst_vpnmanager.moc"
