#include "connectionpanel.h"
#include "constants.h"
#include "core.h"
#include "databasemanager.h"
#include "mapwidget.h"
#include "serverdetailsdialog.h"
#include "stringformat.h"
#include "testhome.h"
#include "vpnmanager.h"

#include <QAction>
#include <QApplication>
#include <QFormLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTreeView>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

// The server details: where the map puts a place, what the dialog tells of a
// server from the catalogue, how it follows the catalogue and the user's own
// location while open, and the list's context entry that opens it.

namespace {

struct Seed
{
    QString uid, host, location, countryCode, country, address;
    double lng, lat;
    int ping; // stored as measured now
    int distance; // stored metres
};

const Seed Frankfurt { u"de-fra-1"_s, u"fra1.noxel.invalid"_s, u"Frankfurt"_s, u"DE"_s, u"Germany"_s,
    u"127.0.3.1"_s, 8.68, 50.11, 35, 1234567 };
const Seed Sydney { u"au-syd-1"_s, u"syd1.noxel.invalid"_s, u"Sydney"_s, u"AU"_s, u"Australia"_s,
    u"127.0.3.2"_s, 151.21, -33.87, 250, 16000000 };

GeoIp newYork()
{
    Coordinate coord;
    coord.setLng(-74.0);
    coord.setLat(40.71);
    GeoIp geoIp;
    geoIp.setLocation(u"New York"_s);
    geoIp.setCoord(coord);
    return geoIp;
}

Coordinate coordinate(double lng, double lat)
{
    Coordinate coord;
    coord.setLng(lng);
    coord.setLat(lat);
    return coord;
}

bool execute(const QString &statement, const QVariantList &values)
{
    QSqlQuery query(QSqlDatabase::database(PRODUCT_NAME, false));
    if (!query.prepare(statement))
        return false;
    for (const QVariant &value : values)
        query.addBindValue(value);
    return query.exec();
}

// The value beside the label of that text in the dialog's table.
QString valueOf(const ServerDetailsDialog &dialog, const QString &field)
{
    const auto *form = dialog.findChild<QFormLayout *>();
    for (int row = 0; form && row < form->rowCount(); ++row) {
        const auto *label = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
        if (label && label->text() == field)
            return qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::FieldRole)->widget())->text();
    }
    return u"(no field %1)"_s.arg(field);
}

// A point of a pin's head, 10 px above its tip.
QPoint headOf(const Coordinate &place)
{
    return MapWidget::mapPoint(place) - QPoint(0, 10);
}

bool isServerBlue(QRgb pixel)
{
    return qBlue(pixel) - qRed(pixel) > 80;
}

bool isUserOrange(QRgb pixel)
{
    return qRed(pixel) - qBlue(pixel) > 80;
}

} // namespace

// What happens to the catalogue while the dialog is open.
enum Change { Renamed, Connected, Pinged };
Q_DECLARE_METATYPE(Change)

class TestServerDetails : public QObject
{
    Q_OBJECT

public:
    explicit TestServerDetails(const TestHome &) { }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void projection_data();
    void projection();
    void details_data();
    void details();
    void followsChanges_data();
    void followsChanges();
    void contextMenuOpensDetails();

private:
    // Replaces the catalogue with the seeds; a stale ping is measured again at once.
    bool seed(bool stalePing = false);
    VpnServer serverOf(const Seed &seed) const;

    std::unique_ptr<Core> core;
};

void TestServerDetails::initTestCase()
{
    QSettings().clear();
    core = std::make_unique<Core>();
    QVERIFY(core->databaseManager()->open());
}

void TestServerDetails::init()
{
    QVERIFY(seed());
}

void TestServerDetails::cleanup()
{
    emit core->originalIpChanged(GeoIp());
}

void TestServerDetails::cleanupTestCase()
{
    core.reset();
}

bool TestServerDetails::seed(bool stalePing)
{
    // An empty catalogue first, so that no measurement of an earlier test carries over.
    VpnManager *catalogue = core->vpnManager();
    if (!execute(u"DELETE FROM vpn_servers"_s, {}))
        return false;
    catalogue->load();
    QList<VpnServer> records;
    for (const Seed &seed : { Frankfurt, Sydney }) {
        VpnServer record;
        record.setUid(seed.uid);
        record.setHost(seed.host);
        record.setAddress(seed.address);
        Country country;
        country.setCode(seed.countryCode);
        country.setName(seed.country);
        record.setCountry(country);
        Location location;
        location.setName(seed.location);
        location.setCoord(coordinate(seed.lng, seed.lat));
        record.setLocation(location);
        records.append(record);
    }
    DatabaseManager *database = core->databaseManager();
    if (!database->updateServers(records))
        return false;
    for (int i = 0; i < records.size(); ++i) {
        const Seed &seed = i == 0 ? Frankfurt : Sydney;
        database->setPing(records[i], seed.ping);
        // Nothing in the program writes a stored distance.
        if (!execute(u"UPDATE vpn_servers SET server_distance=? WHERE server_uid=?"_s,
                { seed.distance, seed.uid }))
            return false;
    }
    if (stalePing
        && !execute(u"UPDATE vpn_servers SET server_update_ts=1 WHERE server_uid=?"_s, { Frankfurt.uid }))
        return false;
    catalogue->load();
    return catalogue->count() == 2;
}

VpnServer TestServerDetails::serverOf(const Seed &seed) const
{
    const VpnManager *catalogue = core->vpnManager();
    return catalogue->server(catalogue->indexOf(seed.uid));
}

void TestServerDetails::projection_data()
{
    QTest::addColumn<double>("lng");
    QTest::addColumn<double>("lat");
    QTest::addColumn<QPoint>("point");

    QTest::newRow("north-west corner") << -180.0 << 90.0 << QPoint(0, 0);
    QTest::newRow("south-east corner") << 180.0 << -90.0 << QPoint(800, 400);
    QTest::newRow("equator at Greenwich") << 0.0 << 0.0 << QPoint(400, 200);
    // 419.29 and 88.64: truncated, not rounded.
    QTest::newRow("Frankfurt") << 8.68 << 50.11 << QPoint(419, 88);
}

void TestServerDetails::projection()
{
    QFETCH(double, lng);
    QFETCH(double, lat);
    QFETCH(QPoint, point);

    QCOMPARE(MapWidget::mapPoint(coordinate(lng, lat)), point);
}

void TestServerDetails::details_data()
{
    QTest::addColumn<bool>("ownLocationKnown");
    QTest::addColumn<QString>("distance");

    // Without the user's location the record's stored distance is told.
    QTest::newRow("own location unknown") << false << u"1234 km"_s;
    // Frankfurt to New York is about 6200 km.
    QTest::newRow("own location known") << true << u"6202 km"_s;
}

void TestServerDetails::details()
{
    QFETCH(bool, ownLocationKnown);
    QFETCH(QString, distance);

    ServerDetailsDialog dialog(core.get());
    dialog.setServer(serverOf(Frankfurt));
    // As the core tells it once its geo-IP look-up has answered.
    if (ownLocationKnown)
        emit core->originalIpChanged(newYork());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.windowTitle(), Frankfurt.host);
    QCOMPARE(valueOf(dialog, u"Name:"_s), Frankfurt.host);
    QCOMPARE(valueOf(dialog, u"Country:"_s), u"Germany"_s);
    QCOMPARE(valueOf(dialog, u"Location:"_s), u"Frankfurt"_s);
    QCOMPARE(valueOf(dialog, u"Distance:"_s), distance);
    QCOMPARE(valueOf(dialog, u"Ping: "_s), u"35 ms"_s);
    QCOMPARE(valueOf(dialog, u"Last Connection:"_s), u"Never"_s);

    auto *map = dialog.findChild<MapWidget *>();
    QVERIFY(map);
    QCOMPARE(map->size(), map->sizeHint());
    const QImage image = map->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0)); // the frame of a known server
    QVERIFY(isServerBlue(image.pixel(headOf(coordinate(Frankfurt.lng, Frankfurt.lat)) * ratio)));
    if (ownLocationKnown) {
        QVERIFY(isUserOrange(image.pixel(headOf(newYork().coord()) * ratio)));
        return;
    }
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isUserOrange(image.pixel(x, y)))
                QFAIL(qPrintable(u"a user's pin at (%1, %2)"_s.arg(x).arg(y)));
        }
    }
}

void TestServerDetails::followsChanges_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("before");
    // Empty: anything but the value before.
    QTest::addColumn<QString>("after");

    const QDateTime connected(QDate(2024, 3, 1), QTime(12, 30));
    QTest::newRow("renamed in a refreshed list")
        << Renamed << u"Location:"_s << u"Frankfurt"_s << u"Frankfurt am Main"_s;
    QTest::newRow("connected, then the list refreshed")
        << Connected << u"Last Connection:"_s << u"Never"_s << StringFormat::dateTime(connected);
    QTest::newRow("pinged again") << Pinged << u"Ping: "_s << u"35 ms"_s << QString();
}

void TestServerDetails::followsChanges()
{
    QFETCH(Change, change);
    QFETCH(QString, field);
    QFETCH(QString, before);
    QFETCH(QString, after);

    VpnManager *catalogue = core->vpnManager();
    QSignalSpy pinged(catalogue, &VpnManager::vpnServerChanged);
    if (change == Pinged)
        QVERIFY(seed(true));
    ServerDetailsDialog dialog(core.get());
    dialog.setServer(serverOf(Frankfurt));
    // Before the event loop runs: the stale ping is measured from then on.
    QCOMPARE(valueOf(dialog, field), before);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    switch (change) {
    case Renamed: {
        VpnServer record = serverOf(Frankfurt);
        Location location = record.location();
        location.setName(u"Frankfurt am Main"_s);
        record.setLocation(location);
        QList<VpnServer> records { record, serverOf(Sydney) };
        QVERIFY(core->databaseManager()->updateServers(records));
        catalogue->load();
        break;
    }
    case Connected:
        QVERIFY(execute(u"UPDATE vpn_servers SET server_connection_ts=? WHERE server_uid=?"_s,
            { QDateTime(QDate(2024, 3, 1), QTime(12, 30)).toSecsSinceEpoch(), Frankfurt.uid }));
        catalogue->load();
        break;
    case Pinged:
        QVERIFY(!pinged.isEmpty() || pinged.wait(30000));
        break;
    }

    if (after.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(valueOf(dialog, field) != before, 30000);
    else
        QTRY_COMPARE_WITH_TIMEOUT(valueOf(dialog, field), after, 30000);
    // Still the same server.
    QCOMPARE(dialog.windowTitle(), Frankfurt.host);
}

void TestServerDetails::contextMenuOpensDetails()
{
    ConnectionPanel panel(core.get());
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    auto *view = panel.findChild<QTreeView *>();
    QVERIFY(view);
    QModelIndex row;
    for (int i = 0; i < view->model()->rowCount(); ++i) {
        const QModelIndex index = view->model()->index(i, 1);
        if (index.data().toString() == Sydney.location)
            row = index;
    }
    QVERIFY(row.isValid());
    view->setCurrentIndex(row);

    const auto *menu = panel.findChild<QMenu *>();
    QVERIFY(menu);
    QAction *details = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text() == "Show Details"_L1)
            details = action;
    }
    QVERIFY(details);
    details->trigger();

    QPointer<ServerDetailsDialog> dialog = panel.findChild<ServerDetailsDialog *>();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog.data()));
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->windowTitle(), Sydney.host);
    QCOMPARE(valueOf(*dialog, u"Country:"_s), u"Australia"_s);
    // The panel stays usable beside it, and closing it disposes of it.
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(dialog->close());
    QTRY_VERIFY(dialog.isNull());
}

NOXEL_APP_TEST_MAIN(TestServerDetails)
#include "tst_serverdetails.moc"
