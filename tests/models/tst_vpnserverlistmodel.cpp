#include "servercatalogue.h"
#include "testhome.h"
#include "vpnmanager.h"
#include "vpnserverlistmodel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QtTest>

using Server = ServerCatalogue::Server;

namespace {

QList<Server> servers()
{
    return {
        ServerCatalogue::server(QStringLiteral("fra"), QStringLiteral("DE"), QStringLiteral("Germany"),
            QStringLiteral("Frankfurt")),
        ServerCatalogue::server(QStringLiteral("ams"), QStringLiteral("nl"), QStringLiteral("Netherlands"),
            QStringLiteral("Amsterdam")),
        ServerCatalogue::server(QStringLiteral("xx"), QStringLiteral("XX"), QStringLiteral("Nowhere"),
            QStringLiteral("Atlantis")),
        ServerCatalogue::server(QStringLiteral("none"), QString(), QString(), QStringLiteral("Unknown")),
    };
}

} // namespace

class TestVpnServerListModel : public QObject
{
    Q_OBJECT

public:
    explicit TestVpnServerListModel(TestHome &) { }

private slots:
    // Threads left running, database connections still in use and the like.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

    void rows()
    {
        ServerCatalogue catalogue(servers(), ServerCatalogue::Database);
        QVERIFY(catalogue.isValid());
        VpnServerListModel model(1.0, catalogue.manager());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 4);
        const QStringList locations { QStringLiteral("Frankfurt"), QStringLiteral("Amsterdam"),
            QStringLiteral("Atlantis"), QStringLiteral("Unknown") };
        for (int row = 0; row < locations.size(); ++row) {
            QCOMPARE(model.index(row).data(Qt::DisplayRole).toString(), locations.at(row));
            QCOMPARE(model.index(row).data(Qt::UserRole).toString(), locations.at(row));
            QCOMPARE(model.serverAt(row).location().name(), locations.at(row));
            QVERIFY(!model.index(row).data(Qt::ToolTipRole).isValid());
        }
        QVERIFY(model.serverAt(4).isNull());
        QVERIFY(model.serverAt(-1).isNull());
    }

    void indexOf_data()
    {
        QTest::addColumn<QString>("uid");
        QTest::addColumn<int>("row");
        QTest::newRow("first") << QStringLiteral("fra") << 0;
        QTest::newRow("last") << QStringLiteral("none") << 3;
        QTest::newRow("unknown") << QStringLiteral("lon") << -1;
        QTest::newRow("empty") << QString() << -1;
    }

    void indexOf()
    {
        QFETCH(QString, uid);
        QFETCH(int, row);
        ServerCatalogue catalogue(servers(), ServerCatalogue::Database);
        QVERIFY(catalogue.isValid());
        VpnServerListModel model(1.0, catalogue.manager());
        QCOMPARE(model.indexOf(uid), row);
    }

    void flags_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("picture");
        for (const double scale : { 1.0, 1.5, 2.0 }) {
            const int size = int(16 * scale);
            const QByteArray name = QByteArray::number(scale);
            QTest::addRow("upper case code at %s", name.constData())
                << scale << 0 << QStringLiteral("%1x%1_de").arg(size);
            QTest::addRow("lower case code at %s", name.constData())
                << scale << 1 << QStringLiteral("%1x%1_nl").arg(size);
            QTest::addRow("no picture at %s", name.constData())
                << scale << 2 << QStringLiteral("%1x%1_blank").arg(size);
            QTest::addRow("no code at %s", name.constData())
                << scale << 3 << QStringLiteral("%1x%1_blank").arg(size);
        }
        // Scales between the steps take the smaller picture, stretched.
        QTest::newRow("1.25 stretches 16") << 1.25 << 0 << QStringLiteral("16x16_de");
    }

    void flags()
    {
        QFETCH(double, scale);
        QFETCH(int, row);
        QFETCH(QString, picture);
        ServerCatalogue catalogue(servers(), ServerCatalogue::Database);
        QVERIFY(catalogue.isValid());
        VpnServerListModel model(scale, catalogue.manager());
        const QPixmap flag = model.index(row).data(Qt::DecorationRole).value<QPixmap>();
        QVERIFY(!flag.isNull());
        const int size = int(16 * scale);
        QCOMPARE(flag.size(), QSize(size, size));
        QPixmap expected(QStringLiteral(":/countries/%1.png").arg(picture));
        QVERIFY(!expected.isNull());
        if (expected.size() != flag.size())
            expected = expected.scaled(flag.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QCOMPARE(flag.toImage().convertToFormat(QImage::Format_ARGB32),
            expected.toImage().convertToFormat(QImage::Format_ARGB32));
    }

    void catalogueChanges()
    {
        ServerCatalogue catalogue(servers(), ServerCatalogue::Database);
        QVERIFY(catalogue.isValid());
        VpnServerListModel model(1.0, catalogue.manager());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        emit catalogue.manager()->vpnServerChanged(2);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(2));
        QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(2));
        emit catalogue.manager()->vpnServerChanged(4);
        emit catalogue.manager()->vpnServerChanged(-1);
        QCOMPARE(changed.size(), 1);

        QVERIFY(catalogue.reload({ ServerCatalogue::server(QStringLiteral("lon"), QStringLiteral("GB"),
            QStringLiteral("United Kingdom"), QStringLiteral("London")) }));
        QCOMPARE(reset.size(), 1);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.index(0).data().toString(), QStringLiteral("London"));
        QCOMPARE(model.indexOf(QStringLiteral("lon")), 0);
        QCOMPARE(model.indexOf(QStringLiteral("fra")), -1);
        QVERIFY(catalogue.reload({}));
        QCOMPARE(reset.size(), 2);
        QCOMPARE(model.rowCount(), 0);
    }

    void pingResultRepaintsRow()
    {
        QList<Server> list = servers();
        list[1].pinged = false;
        ServerCatalogue catalogue(list, ServerCatalogue::Database);
        QVERIFY(catalogue.isValid());
        VpnServerListModel model(1.0, catalogue.manager());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(changed.wait(10000));
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1));
    }
};

NOXEL_APP_TEST_MAIN(TestVpnServerListModel)
#include "tst_vpnserverlistmodel.moc"
