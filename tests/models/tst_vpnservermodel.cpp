#include "core.h"
#include "geoip.h"
#include "hidpi.h"
#include "modelcolumns.h"
#include "servercatalogue.h"
#include "testhome.h"
#include "vpnmanager.h"
#include "vpnservermodel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QtTest>

#include <limits>

using Server = ServerCatalogue::Server;

namespace {

constexpr int Unknown = std::numeric_limits<int>::max();

QString header(const QString &column)
{
    static const QHash<QString, QString> headers {
        { QStringLiteral("country"), QStringLiteral("Country") },
        { QStringLiteral("location"), QStringLiteral("City / Location") },
        { QStringLiteral("stealth"), QStringLiteral("S") },
        { QStringLiteral("server"), QStringLiteral("Server") },
        { QStringLiteral("free"), QStringLiteral("Free") },
        { QStringLiteral("ping"), QStringLiteral("Ping") },
        { QStringLiteral("distance"), QStringLiteral("Distance") },
        { QStringLiteral("provider"), QStringLiteral("P") },
        { QStringLiteral("check"), QStringLiteral("C") },
    };
    return headers.value(column);
}

Server german(const QString &uid)
{
    return ServerCatalogue::server(
        uid, QStringLiteral("DE"), QStringLiteral("Germany"), QStringLiteral("Frankfurt"));
}

QImage imageOf(const QVariant &value)
{
    return value.value<QPixmap>().toImage().convertToFormat(QImage::Format_ARGB32);
}

// Through a pixmap as the model's pictures go, which premultiplies the alpha.
QImage imageOf(const QString &file)
{
    return QPixmap(file).toImage().convertToFormat(QImage::Format_ARGB32);
}

int flagSize()
{
    const double scale = mHiDpiFixedFactor3();
    return scale >= 1.99 ? 32 : (scale >= 1.49 ? 24 : 16);
}

} // namespace

class TestVpnServerModel : public QObject
{
    Q_OBJECT

public:
    explicit TestVpnServerModel(TestHome &) { }

private slots:
    // Threads left running, database connections still in use and the like.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

    void columns_data()
    {
        QTest::addColumn<bool>("stealth");
        QTest::addColumn<bool>("admin");
        QTest::addColumn<QStringList>("columns");
        const QStringList ordinary { QStringLiteral("country"), QStringLiteral("location"),
            QStringLiteral("server"), QStringLiteral("free"), QStringLiteral("ping"),
            QStringLiteral("distance") };
        QStringList stealth = ordinary;
        stealth.insert(2, QStringLiteral("stealth"));
        const QStringList admin { QStringLiteral("provider"), QStringLiteral("check") };
        QTest::newRow("ordinary") << false << false << ordinary;
        QTest::newRow("stealth") << true << false << stealth;
        QTest::newRow("admin") << false << true << (ordinary + admin);
        QTest::newRow("stealth and admin") << true << true << (stealth + admin);
    }

    void columns()
    {
        QFETCH(bool, stealth);
        QFETCH(bool, admin);
        QFETCH(QStringList, columns);
        ServerCatalogue catalogue(
            { german(QStringLiteral("a")), german(QStringLiteral("b")) }, ServerCatalogue::Database);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

        catalogue.setAccount(stealth, admin);
        // Views rebuild their headers only on a reset.
        QCOMPARE(reset.size(), stealth || admin ? 1 : 0);
        QCOMPARE(model.columnCount(), columns.size());
        for (int section = 0; section < columns.size(); ++section)
            QCOMPARE(model.headerData(section, Qt::Horizontal, Qt::DisplayRole).toString(),
                header(columns.at(section)));
        const QStringList all { QStringLiteral("country"), QStringLiteral("location"),
            QStringLiteral("stealth"), QStringLiteral("server"), QStringLiteral("free"),
            QStringLiteral("ping"), QStringLiteral("distance"), QStringLiteral("provider"),
            QStringLiteral("check") };
        for (const QString &column : all)
            QCOMPARE(ModelColumns::of(model, column), int(columns.indexOf(column)));

        // Back to an ordinary account.
        catalogue.setAccount(false, false);
        QCOMPARE(model.columnCount(), 6);
        QCOMPARE(ModelColumns::of(model, QStringLiteral("stealth")), -1);
        QCOMPARE(ModelColumns::of(model, QStringLiteral("provider")), -1);
        QCOMPARE(ModelColumns::of(model, QStringLiteral("distance")), 5);
    }

    void unchangedAccountKeepsLayout()
    {
        ServerCatalogue catalogue({ german(QStringLiteral("a")) }, ServerCatalogue::Database);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        catalogue.setAccount(true, false);
        catalogue.setAccount(true, false);
        QCOMPARE(reset.size(), 1);
        // A status that failed to arrive says nothing about the account.
        emit catalogue.core()->userStatusUpdated(UserStatus());
        QCOMPARE(reset.size(), 1);
        QCOMPARE(model.columnCount(), 7);
    }

    void cells_data()
    {
        QTest::addColumn<Server>("server");
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QVariant>("sortKey");

        const auto capacity = [](int value) {
            Server server = german(QStringLiteral("a"));
            server.capacity = value;
            return server;
        };
        const int provider = ServerCatalogue::Provider;
        const int database = ServerCatalogue::Database;
        const QString free = QStringLiteral("free");
        QTest::newRow("free 85") << capacity(85) << provider << free << QStringLiteral("85%") << QVariant(85);
        QTest::newRow("free 0") << capacity(0) << provider << free << QStringLiteral("0%") << QVariant(0);
        QTest::newRow("free largest")
            << capacity(32767) << provider << free << QStringLiteral("32767%") << QVariant(32767);
        QTest::newRow("free unknown") << capacity(-1) << provider << free << QString() << QVariant(Unknown);
        QTest::newRow("free negative as signed")
            << capacity(40000) << provider << free << QString() << QVariant(Unknown);
        QTest::newRow("free 65535") << capacity(65535) << provider << free << QString() << QVariant(Unknown);

        const auto ping = [](int value) {
            Server server = german(QStringLiteral("a"));
            server.ping = value;
            return server;
        };
        const QString pingColumn = QStringLiteral("ping");
        QTest::newRow("ping 23") << ping(23) << database << pingColumn << QStringLiteral("23 ms")
                                 << QVariant(23);
        // The database stores 0 for a server it never pinged: that is no measurement.
        QTest::newRow("ping 0") << ping(0) << database << pingColumn << QString() << QVariant(Unknown);
        QTest::newRow("ping without answer")
            << ping(-1) << database << pingColumn << QString() << QVariant(Unknown);
        QTest::newRow("ping kept by a refresh")
            << ping(77) << provider << pingColumn << QStringLiteral("77 ms") << QVariant(77);

        const auto distance = [](int metres) {
            Server server = german(QStringLiteral("a"));
            server.distance = metres;
            return server;
        };
        const QString distanceColumn = QStringLiteral("distance");
        QTest::newRow("distance 999 m")
            << distance(999) << database << distanceColumn << QStringLiteral("0 km") << QVariant(999);
        QTest::newRow("distance 1999 m")
            << distance(1999) << database << distanceColumn << QStringLiteral("1 km") << QVariant(1999);
        QTest::newRow("distance 12345678 m") << distance(12345678) << database << distanceColumn
                                             << QStringLiteral("12345 km") << QVariant(12345678);
        QTest::newRow("distance 0") << distance(0) << database << distanceColumn << QString() << QVariant(0);
        QTest::newRow("distance negative")
            << distance(-5) << database << distanceColumn << QString() << QVariant(-5);

        Server named = german(QStringLiteral("a"));
        named.location = QStringLiteral("Frankfurt am Main");
        QTest::newRow("country") << named << database << QStringLiteral("country")
                                 << QStringLiteral("Germany") << QVariant(QStringLiteral("Germany"));
        QTest::newRow("location") << named << database << QStringLiteral("location")
                                  << QStringLiteral("Frankfurt am Main")
                                  << QVariant(QStringLiteral("Frankfurt am Main"));
        QTest::newRow("server") << named << database << QStringLiteral("server") << named.address
                                << QVariant(named.address);

        Server stealth = german(QStringLiteral("a"));
        stealth.stealth = true;
        QTest::newRow("stealth endpoint")
            << stealth << provider << QStringLiteral("stealth") << QString() << QVariant(true);
        QTest::newRow("no stealth endpoint")
            << named << provider << QStringLiteral("stealth") << QString() << QVariant(false);
        Server owned = german(QStringLiteral("a"));
        owned.provider = QStringLiteral("ABC");
        QTest::newRow("provider") << owned << provider << QStringLiteral("provider") << QStringLiteral("ABC")
                                  << QVariant();
    }

    void cells()
    {
        QFETCH(Server, server);
        QFETCH(int, source);
        QFETCH(QString, column);
        QFETCH(QString, display);
        QFETCH(QVariant, sortKey);
        ServerCatalogue catalogue({ server }, ServerCatalogue::Source(source));
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        catalogue.setAccount(true, true);

        const QModelIndex cell = model.index(0, ModelColumns::of(model, column));
        QVERIFY(cell.isValid());
        QCOMPARE(cell.data(Qt::DisplayRole).toString(), display);
        QCOMPARE(cell.data(Qt::UserRole), sortKey);
        QCOMPARE(model.serverAt(cell).uid(), server.uid);
    }

    void outOfRange()
    {
        ServerCatalogue catalogue({ german(QStringLiteral("a")) }, ServerCatalogue::Database);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        QVERIFY(model.serverAt(QModelIndex()).isNull());
        QVERIFY(model.serverAt(model.index(1, 0)).isNull());
        QVERIFY(!model.index(0, 0).data(Qt::DisplayRole).toString().isEmpty());
        QVERIFY(!model.index(0, 6).isValid());
    }

    void flags_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("picture");
        QTest::newRow("upper case") << QStringLiteral("DE") << QStringLiteral("de");
        QTest::newRow("lower case") << QStringLiteral("nl") << QStringLiteral("nl");
        QTest::newRow("mixed case") << QStringLiteral("Gb") << QStringLiteral("gb");
        QTest::newRow("no picture") << QStringLiteral("XX") << QStringLiteral("blank");
        QTest::newRow("no code") << QString() << QStringLiteral("blank");
    }

    void flags()
    {
        QFETCH(QString, code);
        QFETCH(QString, picture);
        Server server = german(QStringLiteral("a"));
        server.countryCode = code;
        ServerCatalogue catalogue({ server }, ServerCatalogue::Database);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        const QModelIndex country = model.index(0, model.countryColumn());
        QCOMPARE(country.data(Qt::ToolTipRole).toString(), code);
        const QImage flag = imageOf(country.data(Qt::DecorationRole));
        QVERIFY(!flag.isNull());
        QCOMPARE(flag, imageOf(QStringLiteral(":/countries/%1x%1_%2.png").arg(flagSize()).arg(picture)));
    }

    void stealthMarker()
    {
        Server marked = german(QStringLiteral("a"));
        marked.stealth = true;
        ServerCatalogue catalogue({ marked, german(QStringLiteral("b")) }, ServerCatalogue::Provider);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        catalogue.setAccount(true, false);
        const QModelIndex withEndpoint = model.index(0, model.stealthColumn());
        const QModelIndex without = model.index(1, model.stealthColumn());
        QCOMPARE(imageOf(withEndpoint.data(Qt::DecorationRole)),
            imageOf(QStringLiteral(":/images/stealth%1.png").arg(flagSize())));
        QVERIFY(!without.data(Qt::DecorationRole).isValid());
        QCOMPARE(withEndpoint.data(Qt::ToolTipRole).toString(), QStringLiteral("Stealth OpenVPN supported"));
        QCOMPARE(without.data(Qt::ToolTipRole).toString(), QStringLiteral("Stealth OpenVPN supported"));
    }

    void foreground_data()
    {
        QTest::addColumn<int>("indicator");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("150") << 150 << QColor(0x00, 0x99, 0x00);
        QTest::newRow("100") << 100 << QColor(0x00, 0x99, 0x00);
        QTest::newRow("99") << 99 << QColor(0xFF, 0x76, 0x19);
        QTest::newRow("50") << 50 << QColor(0xFF, 0x76, 0x19);
        QTest::newRow("49") << 49 << QColor(0x99, 0x00, 0x00);
        QTest::newRow("0") << 0 << QColor(0x99, 0x00, 0x00);
        QTest::newRow("unknown") << -1 << QColor(0x00, 0x00, 0x00);
        QTest::newRow("negative as signed") << 40000 << QColor(0x00, 0x00, 0x00);
    }

    void foreground()
    {
        QFETCH(int, indicator);
        QFETCH(QColor, colour);
        Server server = german(QStringLiteral("a"));
        server.indicator = indicator;
        // The indicator, not the capacity, picks the colour.
        server.capacity = 75;
        server.ping = 12;
        server.distance = 5000;
        ServerCatalogue catalogue({ server }, ServerCatalogue::Provider);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        QCOMPARE(model.index(0, model.freeColumn()).data(Qt::ForegroundRole).value<QColor>(), colour);
        QCOMPARE(
            model.index(0, model.pingColumn()).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 153));
        QCOMPARE(model.index(0, model.distanceColumn()).data(Qt::ForegroundRole).value<QColor>(),
            QColor(153, 102, 0));
        QVERIFY(!model.index(0, model.countryColumn()).data(Qt::ForegroundRole).isValid());
    }

    void pingResultRepaintsRow()
    {
        Server measured = german(QStringLiteral("a"));
        measured.ping = 20;
        Server fresh = german(QStringLiteral("b"));
        fresh.pinged = false;
        ServerCatalogue catalogue(
            { measured, fresh, german(QStringLiteral("c")) }, ServerCatalogue::Database);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        catalogue.setAccount(true, true);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        // The catalogue pings the one server without a stored measurement.
        QVERIFY(changed.wait(10000));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1, 0));
        QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(1, model.columnCount() - 1));
        const VpnServer server = catalogue.manager()->server(1);
        QVERIFY(!server.pingTime().isNull());
        const QString shown = server.ping() >= 0 ? QStringLiteral("%1 ms").arg(server.ping()) : QString();
        QCOMPARE(model.index(1, model.pingColumn()).data().toString(), shown);
    }

    void catalogueChanges()
    {
        ServerCatalogue catalogue(
            { german(QStringLiteral("a")), german(QStringLiteral("b")) }, ServerCatalogue::Database);
        QVERIFY(catalogue.isValid());
        VpnServerModel model(catalogue.core()->vpnManager());
        catalogue.core()->connectServerModel(&model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        catalogue.setAccount(false, true);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        Server paris = ServerCatalogue::server(
            QStringLiteral("p"), QStringLiteral("FR"), QStringLiteral("France"), QStringLiteral("Paris"));
        QVERIFY(catalogue.reload({ paris, german(QStringLiteral("c")), german(QStringLiteral("d")) }));
        QCOMPARE(reset.size(), 1);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(0, model.locationColumn()).data().toString(), QStringLiteral("Paris"));

        QVERIFY(catalogue.reload({}));
        QCOMPARE(reset.size(), 2);
        QCOMPARE(model.rowCount(), 0);
        // Nothing to repaint in an empty table.
        emit catalogue.core()->originalIpChanged(GeoIp());
        QCOMPARE(changed.size(), 0);

        QVERIFY(catalogue.reload({ german(QStringLiteral("e")), german(QStringLiteral("f")) }));
        // Distances follow the user's own location: every cell is repainted.
        emit catalogue.core()->originalIpChanged(GeoIp());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(0, 0));
        QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(1, model.columnCount() - 1));

        emit catalogue.manager()->vpnServerChanged(2);
        emit catalogue.manager()->vpnServerChanged(-1);
        QCOMPARE(changed.size(), 1);
    }
};

NOXEL_APP_TEST_MAIN(TestVpnServerModel)
#include "tst_vpnservermodel.moc"
