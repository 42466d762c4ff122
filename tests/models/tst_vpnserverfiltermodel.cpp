#include "core.h"
#include "geoip.h"
#include "modelcolumns.h"
#include "servercatalogue.h"
#include "testhome.h"
#include "vpnmanager.h"
#include "vpnserverfiltermodel.h"
#include "vpnservermodel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using Server = ServerCatalogue::Server;

namespace {

Server server(const QString &uid, const QString &country, const QString &location, int capacity, int ping)
{
    static const QHash<QString, QString> codes {
        { QStringLiteral("Austria"), QStringLiteral("AT") },
        { QStringLiteral("Germany"), QStringLiteral("DE") },
        { QStringLiteral("Netherlands"), QStringLiteral("NL") },
        { QStringLiteral("Norway"), QStringLiteral("NO") },
        { QStringLiteral("Switzerland"), QStringLiteral("CH") },
        { QStringLiteral("United Kingdom"), QStringLiteral("GB") },
        { QStringLiteral("United States"), QStringLiteral("US") },
    };
    Server result = ServerCatalogue::server(uid, codes.value(country), country, location);
    result.capacity = capacity;
    result.ping = ping;
    return result;
}

// Ties on purpose: two servers at 12 ms, two at 40 ms, two unmeasured; two with
// 30 % free and two unknown. Addresses sort as text.
QList<Server> providerServers()
{
    QList<Server> servers {
        server(QStringLiteral("a"), QStringLiteral("Germany"), QStringLiteral("Frankfurt"), 85, 40),
        server(QStringLiteral("b"), QStringLiteral("Netherlands"), QStringLiteral("Amsterdam"), -1, -1),
        server(QStringLiteral("c"), QStringLiteral("United States"), QStringLiteral("New York"), 30, 12),
        server(QStringLiteral("d"), QStringLiteral("Germany"), QStringLiteral("Berlin"), 30, 40),
        server(QStringLiteral("e"), QStringLiteral("Switzerland"), QStringLiteral("Zurich"), 100, 5),
        server(QStringLiteral("f"), QStringLiteral("United Kingdom"), QStringLiteral("London"), -1, -1),
        server(QStringLiteral("g"), QStringLiteral("Austria"), QStringLiteral("Vienna"), 0, 12),
        server(QStringLiteral("h"), QStringLiteral("Norway"), QStringLiteral("Stavanger"), 50, 25),
    };
    const QStringList addresses { QStringLiteral("127.0.4.20"), QStringLiteral("127.0.4.3"),
        QStringLiteral("127.0.4.100"), QStringLiteral("127.0.4.21"), QStringLiteral("127.0.4.4"),
        QStringLiteral("127.0.4.1"), QStringLiteral("127.0.4.200"), QStringLiteral("127.0.4.5") };
    for (int i = 0; i < servers.size(); ++i)
        servers[i].address = addresses.at(i);
    servers[0].stealth = true;
    servers[2].stealth = true;
    servers[0].provider = QStringLiteral("ABC");
    servers[1].provider = QStringLiteral("xyz");
    servers[2].provider = QStringLiteral("abc");
    servers[4].provider = QStringLiteral("Abc");
    return servers;
}

// Stored distances exist only without the provider's list.
QList<Server> storedServers()
{
    QList<Server> servers {
        server(QStringLiteral("m"), QStringLiteral("Germany"), QStringLiteral("Berlin"), -1, 9),
        server(QStringLiteral("n"), QStringLiteral("Germany"), QStringLiteral("Munich"), -1, -1),
        server(QStringLiteral("o"), QStringLiteral("Austria"), QStringLiteral("Vienna"), -1, 9),
        server(QStringLiteral("p"), QStringLiteral("Switzerland"), QStringLiteral("Zurich"), -1, 3),
    };
    const QList<int> distances { 999, 0, 5000, 999 };
    for (int i = 0; i < servers.size(); ++i)
        servers[i].distance = distances.at(i);
    return servers;
}

// As the connection panel sets its proxy up.
void configure(VpnServerFilterModel &proxy)
{
    proxy.setDynamicSortFilter(true);
    proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy.setSortRole(Qt::UserRole);
    proxy.sort(proxy.serverModel()->pingColumn(), Qt::AscendingOrder);
}

// The uids of the proxy's rows, top down.
QString order(const VpnServerFilterModel &proxy)
{
    QStringList uids;
    for (int row = 0; row < proxy.rowCount(); ++row)
        uids << proxy.serverModel()->serverAt(proxy.mapToSource(proxy.index(row, 0))).uid();
    return uids.join(QLatin1Char(' '));
}

} // namespace

class TestVpnServerFilterModel : public QObject
{
    Q_OBJECT

public:
    explicit TestVpnServerFilterModel(TestHome &) { }

private slots:
    // Threads left running, database connections still in use and the like.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

    void sortOrder_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("column");
        QTest::addColumn<Qt::SortOrder>("direction");
        QTest::addColumn<QString>("expected");
        const int provider = ServerCatalogue::Provider;
        const Qt::SortOrder up = Qt::AscendingOrder;
        const Qt::SortOrder down = Qt::DescendingOrder;
        QTest::newRow("ping, unmeasured last")
            << provider << QStringLiteral("ping") << up << QStringLiteral("e c g h a d b f");
        QTest::newRow("ping descending")
            << provider << QStringLiteral("ping") << down << QStringLiteral("b f a d h c g e");
        QTest::newRow("free, unknown last")
            << provider << QStringLiteral("free") << up << QStringLiteral("g c d h a e b f");
        QTest::newRow("free descending")
            << provider << QStringLiteral("free") << down << QStringLiteral("b f e a h c d g");
        QTest::newRow("country") << provider << QStringLiteral("country") << up
                                 << QStringLiteral("g a d b h e f c");
        QTest::newRow("location") << provider << QStringLiteral("location") << up
                                  << QStringLiteral("b d a f c h g e");
        QTest::newRow("stealth") << provider << QStringLiteral("stealth") << up
                                 << QStringLiteral("b d e f g h a c");
        QTest::newRow("server address as text")
            << provider << QStringLiteral("server") << up << QStringLiteral("f c a g d b e h");
        const int database = ServerCatalogue::Database;
        QTest::newRow("distance") << database << QStringLiteral("distance") << up
                                  << QStringLiteral("n m p o");
        QTest::newRow("distance descending")
            << database << QStringLiteral("distance") << down << QStringLiteral("o m p n");
        QTest::newRow("stored ping") << database << QStringLiteral("ping") << up << QStringLiteral("p m o n");
    }

    // The proxy starts sorted by ping, as the connection panel's does.
    void sortOrder()
    {
        QFETCH(int, source);
        QFETCH(QString, column);
        QFETCH(Qt::SortOrder, direction);
        QFETCH(QString, expected);
        ServerCatalogue catalogue(source == ServerCatalogue::Provider ? providerServers() : storedServers(),
            ServerCatalogue::Source(source));
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        catalogue.setAccount(true, true);
        VpnServerFilterModel proxy(&model);
        QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        configure(proxy);
        proxy.sort(ModelColumns::of(model, column), direction);
        QCOMPARE(order(proxy), expected);
    }

    // A ping round reports every server again, often with the value it had (an
    // unreachable server stays unanswered): the row must not move past its equals.
    void remeasuredRowKeepsItsPlace_data()
    {
        QTest::addColumn<QString>("uid");
        QTest::addColumn<Qt::SortOrder>("direction");
        for (const QString &uid : { QStringLiteral("c"), QStringLiteral("b") }) {
            QTest::addRow("%s ascending", qPrintable(uid)) << uid << Qt::AscendingOrder;
            QTest::addRow("%s descending", qPrintable(uid)) << uid << Qt::DescendingOrder;
        }
    }

    void remeasuredRowKeepsItsPlace()
    {
        QFETCH(QString, uid);
        QFETCH(Qt::SortOrder, direction);
        ServerCatalogue catalogue(providerServers(), ServerCatalogue::Provider);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        VpnServerFilterModel proxy(&model);
        QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        configure(proxy);
        proxy.sort(model.pingColumn(), direction);
        const QString before = order(proxy);
        QCOMPARE(before,
            direction == Qt::AscendingOrder ? QStringLiteral("e c g h a d b f")
                                            : QStringLiteral("b f a d h c g e"));

        emit catalogue.manager()->vpnServerChanged(catalogue.manager()->indexOf(uid));
        QCOMPARE(order(proxy), before);
    }

    // The order and the search follow what changes under them: a ping result, the
    // user's own location, the account's columns and a new list of the same length.
    void orderFollowsChanges_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<Qt::SortOrder>("direction");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        const int provider = ServerCatalogue::Provider;
        const int database = ServerCatalogue::Database;
        const Qt::SortOrder up = Qt::AscendingOrder;
        const Qt::SortOrder down = Qt::DescendingOrder;
        QTest::newRow("first ping answer of b")
            << provider << up << QString() << QStringLiteral("ping") << QStringLiteral("e c g h a d b f")
            << QStringLiteral("b e c g h a d f");
        QTest::newRow("first ping answer of b, descending")
            << provider << down << QString() << QStringLiteral("ping") << QStringLiteral("b f a d h c g e")
            << QStringLiteral("f a d h c g e b");
        QTest::newRow("first ping answer of b, searched")
            << provider << up << QStringLiteral("land") << QStringLiteral("ping") << QStringLiteral("e b")
            << QStringLiteral("b e");
        // Servers read from the database lie at 0° 0°: from the user's location every
        // one is as far as the next.
        QTest::newRow("own location") << database << up << QString() << QStringLiteral("location")
                                      << QStringLiteral("n m p o") << QStringLiteral("m n o p");
        // The stealth column moves the free column to where the ping column was.
        QTest::newRow("stealth account")
            << provider << up << QString() << QStringLiteral("account") << QStringLiteral("e c g h a d b f")
            << QStringLiteral("g c d h a e b f");
        QTest::newRow("new list") << database << up << QStringLiteral("ger*") << QStringLiteral("list")
                                  << QStringLiteral("n m") << QStringLiteral("r s");
    }

    void orderFollowsChanges()
    {
        QFETCH(int, source);
        QFETCH(Qt::SortOrder, direction);
        QFETCH(QString, pattern);
        QFETCH(QString, change);
        QFETCH(QString, before);
        QFETCH(QString, after);
        const bool fromProvider = source == ServerCatalogue::Provider;
        ServerCatalogue catalogue(
            fromProvider ? providerServers() : storedServers(), ServerCatalogue::Source(source));
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        VpnServerFilterModel proxy(&model);
        QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        configure(proxy);
        proxy.sort(fromProvider ? model.pingColumn() : model.distanceColumn(), direction);
        proxy.setFilterWildcard(pattern);
        QCOMPARE(order(proxy), before);

        if (change == QStringLiteral("ping")) {
            // As the ping engine reports it.
            QVERIFY(QMetaObject::invokeMethod(catalogue.manager(), "pingCompleted", Qt::DirectConnection,
                Q_ARG(QString, providerServers().at(1).address), Q_ARG(int, 1)));
        } else if (change == QStringLiteral("location")) {
            Coordinate coord;
            coord.setLat(52.5);
            coord.setLng(13.4);
            GeoIp own;
            own.setCoord(coord);
            emit catalogue.core()->originalIpChanged(own);
        } else if (change == QStringLiteral("account")) {
            catalogue.setAccount(true, false);
        } else {
            QList<Server> servers {
                server(QStringLiteral("q"), QStringLiteral("Austria"), QStringLiteral("Graz"), -1, 2),
                server(QStringLiteral("r"), QStringLiteral("Germany"), QStringLiteral("Hamburg"), -1, 4),
                server(QStringLiteral("s"), QStringLiteral("Germany"), QStringLiteral("Cologne"), -1, -1),
                server(QStringLiteral("t"), QStringLiteral("Norway"), QStringLiteral("Oslo"), -1, 1),
            };
            QVERIFY(catalogue.reload(servers));
        }
        QCOMPARE(order(proxy), after);
    }

    void search_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");
        QTest::newRow("country or location") << QStringLiteral("ger*") << QStringLiteral("h a d");
        QTest::newRow("upper case") << QStringLiteral("GER*") << QStringLiteral("h a d");
        QTest::newRow("inside a word") << QStringLiteral("land") << QStringLiteral("e b");
        QTest::newRow("location") << QStringLiteral("new york") << QStringLiteral("c");
        QTest::newRow("question mark") << QStringLiteral("z?rich") << QStringLiteral("e");
        QTest::newRow("star between") << QStringLiteral("v*na") << QStringLiteral("g");
        QTest::newRow("empty") << QString() << QStringLiteral("e c g h a d b f");
        QTest::newRow("nothing matches") << QStringLiteral("atlantis") << QString();
        QTest::newRow("not the address") << QStringLiteral("127") << QString();
        // Each keeps one of two servers with equal pings.
        QTest::newRow("one of two unmeasured") << QStringLiteral("kingdom") << QStringLiteral("f");
        QTest::newRow("one of two at 12 ms") << QStringLiteral("vienna") << QStringLiteral("g");
    }

    void search()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        ServerCatalogue catalogue(providerServers(), ServerCatalogue::Provider);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        VpnServerFilterModel proxy(&model);
        QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        configure(proxy);
        proxy.setFilterWildcard(pattern);
        QCOMPARE(order(proxy), expected);

        // The rows that come back take their places among their equals.
        proxy.setFilterWildcard(QString());
        QCOMPARE(order(proxy), QStringLiteral("e c g h a d b f"));
    }

    void providerFilter_data()
    {
        QTest::addColumn<bool>("stealth");
        QTest::addColumn<bool>("admin");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");
        const QString all = QStringLiteral("e c g h a d b f");
        QTest::newRow("upper case") << false << true << true << QStringLiteral("ABC") << QString()
                                    << QStringLiteral("e c a");
        QTest::newRow("lower case") << false << true << true << QStringLiteral("abc") << QString()
                                    << QStringLiteral("e c a");
        QTest::newRow("other provider")
            << true << true << true << QStringLiteral("XYZ") << QString() << QStringLiteral("b");
        QTest::newRow("whole key only")
            << false << true << true << QStringLiteral("AB") << QString() << QString();
        QTest::newRow("with a search") << false << true << true << QStringLiteral("abc")
                                       << QStringLiteral("ger*") << QStringLiteral("a");
        QTest::newRow("disabled") << false << true << false << QStringLiteral("ABC") << QString() << all;
        QTest::newRow("no provider text") << false << true << true << QString() << QString() << all;
        QTest::newRow("no provider column")
            << false << false << true << QStringLiteral("ABC") << QString() << QString();
        QTest::newRow("stealth, no provider column")
            << true << false << true << QStringLiteral("ABC") << QString() << QString();
    }

    void providerFilter()
    {
        QFETCH(bool, stealth);
        QFETCH(bool, admin);
        QFETCH(bool, enabled);
        QFETCH(QString, provider);
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        ServerCatalogue catalogue(providerServers(), ServerCatalogue::Provider);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        catalogue.setAccount(stealth, admin);
        VpnServerFilterModel proxy(&model);
        QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        configure(proxy);
        proxy.setProviderFilter(enabled, provider);
        proxy.setFilterWildcard(pattern);
        QCOMPARE(order(proxy), expected);

        proxy.setProviderFilter(false, provider);
        proxy.setFilterWildcard(QString());
        QCOMPARE(proxy.rowCount(), 8);
    }

    void changesUnderTester()
    {
        ServerCatalogue catalogue(providerServers(), ServerCatalogue::Provider);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        VpnServerFilterModel proxy(&model);
        QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        configure(proxy);
        proxy.setFilterWildcard(QStringLiteral("g*"));

        catalogue.setAccount(true, false);
        catalogue.setAccount(true, true);
        QCOMPARE(proxy.columnCount(), 9);
        // The proxy keeps sorting by column index; the ping column moved.
        proxy.sort(model.pingColumn(), Qt::AscendingOrder);
        for (int row = 0; row < catalogue.manager()->count(); ++row)
            emit catalogue.manager()->vpnServerChanged(row);
        proxy.setProviderFilter(true, QStringLiteral("abc"));
        QCOMPARE(order(proxy), QStringLiteral("a"));

        // A refresh from the database loses what only the provider's list held.
        QList<Server> servers = providerServers();
        for (Server &server : servers)
            server.uid += QStringLiteral("2");
        QVERIFY(catalogue.reload(servers));
        QCOMPARE(proxy.rowCount(), 0);
        proxy.setProviderFilter(false, QString());
        proxy.setFilterWildcard(QString());
        QCOMPARE(order(proxy), QStringLiteral("e2 c2 g2 h2 a2 d2 b2 f2"));
        catalogue.setAccount(false, false);
        QCOMPARE(proxy.columnCount(), 6);
        QVERIFY(catalogue.reload({}));
        QCOMPARE(proxy.rowCount(), 0);
    }
};

NOXEL_APP_TEST_MAIN(TestVpnServerFilterModel)
#include "tst_vpnserverfiltermodel.moc"
