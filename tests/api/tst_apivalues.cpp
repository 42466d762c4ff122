#include "apitest.h"

#include "coordinate.h"
#include "country.h"
#include "vpnaccount.h"
#include "vpnconfiguration.h"

#include <QTest>

#include <cmath>

namespace {

Coordinate coordinate(double lat, double lng)
{
    Coordinate coordinate;
    coordinate.setLat(lat);
    coordinate.setLng(lng);
    return coordinate;
}

} // namespace

class TestApiValues : public QObject
{
    Q_OBJECT

private slots:
    void distance_data();
    void distance();
    void mapPoint_data();
    void mapPoint();
    void coordinateFromXml_data();
    void coordinateFromXml();
    void country_data();
    void country();
    void configurationFromAccount_data();
    void configurationFromAccount();
};

void TestApiValues::distance_data()
{
    QTest::addColumn<Coordinate>("from");
    QTest::addColumn<Coordinate>("to");
    QTest::addColumn<double>("kilometres");
    QTest::addColumn<double>("tolerance");

    const Coordinate frankfurt = coordinate(50.1109, 8.6821);
    const Coordinate amsterdam = coordinate(52.3676, 4.9041);
    QTest::newRow("Frankfurt to Amsterdam") << frankfurt << amsterdam << 364.0 << 0.01;
    QTest::newRow("Amsterdam to Frankfurt") << amsterdam << frankfurt << 364.0 << 0.01;
    QTest::newRow("same point") << frankfurt << frankfurt << 0.0 << 0.0;
    QTest::newRow("London to New York")
        << coordinate(51.5074, -0.1278) << coordinate(40.7128, -74.0060) << 5570.0 << 0.01;
    QTest::newRow("across the date line") << coordinate(0, 179.5) << coordinate(0, -179.5) << 111.2 << 0.01;
    QTest::newRow("half the globe") << coordinate(0, 0) << coordinate(0, 180) << 20015.0 << 0.01;
    QTest::newRow("pole to pole") << coordinate(90, 0) << coordinate(-90, 0) << 20015.0 << 0.01;
    for (const int lat : { 15, 45, 75 }) {
        QTest::addRow("antipodes at %d degrees", lat)
            << coordinate(lat, 10) << coordinate(-lat, -170) << 20015.0 << 0.01;
    }
}

void TestApiValues::distance()
{
    QFETCH(Coordinate, from);
    QFETCH(Coordinate, to);
    QFETCH(double, kilometres);
    QFETCH(double, tolerance);

    const int metres = from.distanceTo(to);
    QVERIFY2(std::abs(metres / 1000.0 - kilometres) <= kilometres * tolerance,
        qPrintable(QString::number(metres)));
}

void TestApiValues::mapPoint_data()
{
    QTest::addColumn<Coordinate>("coord");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("point");

    QTest::newRow("origin") << coordinate(0, 0) << QSize(360, 180) << QPoint(180, 90);
    QTest::newRow("north-west corner") << coordinate(90, -180) << QSize(360, 180) << QPoint(0, 0);
    QTest::newRow("south-east corner") << coordinate(-90, 180) << QSize(360, 180) << QPoint(360, 180);
    QTest::newRow("Berlin, doubled map") << coordinate(52.5, 13.4) << QSize(720, 360) << QPoint(386, 75);
}

void TestApiValues::mapPoint()
{
    QFETCH(Coordinate, coord);
    QFETCH(QSize, size);
    QFETCH(QPoint, point);

    QCOMPARE(coord.toMapPoint(size.width(), size.height()), point);
}

void TestApiValues::coordinateFromXml_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<double>("lng");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("alt");

    QTest::newRow("all") << QStringLiteral("<coord lng=\"-74.006\" lat=\"40.7128\" alt=\"10.5\"/>") << -74.006
                         << 40.7128 << 10.5;
    QTest::newRow("missing") << QStringLiteral("<coord/>") << 0.0 << 0.0 << 0.0;
    QTest::newRow("not numbers") << QStringLiteral("<coord lng=\"east\" lat=\"\" alt=\"1,5\"/>") << 0.0 << 0.0
                                 << 0.0;
    QTest::newRow("not finite") << QStringLiteral("<coord lng=\"nan\" lat=\"1e999\" alt=\"-inf\"/>") << 0.0
                                << 0.0 << 0.0;
    QTest::newRow("beyond the globe")
        << QStringLiteral("<coord lng=\"1e300\" lat=\"-1e300\"/>") << 0.0 << 0.0 << 0.0;
}

void TestApiValues::coordinateFromXml()
{
    QFETCH(QString, xml);
    QFETCH(double, lng);
    QFETCH(double, lat);
    QFETCH(double, alt);

    const Coordinate coord = ApiTest::fromXml<Coordinate>(xml);
    QVERIFY(!coord.isNull());
    QCOMPARE(coord.lng(), lng);
    QCOMPARE(coord.lat(), lat);
    QCOMPARE(coord.alt(), alt);
    // Whatever arrived, a map point lies on the map.
    const QPoint point = coord.toMapPoint(360, 180);
    QVERIFY(QRect(0, 0, 361, 181).contains(point));
}

void TestApiValues::country_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("isNull");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");

    QTest::newRow("two letters") << QStringLiteral("<country code=\"de\">Germany</country>") << false
                                 << QStringLiteral("de") << QStringLiteral("Germany");
    QTest::newRow("upper case") << QStringLiteral("<country code=\"GB\">United Kingdom</country>") << false
                                << QStringLiteral("GB") << QStringLiteral("United Kingdom");
    QTest::newRow("usa") << QStringLiteral("<country code=\"usa\">United States</country>") << true
                         << QString() << QString();
    QTest::newRow("one letter") << QStringLiteral("<country code=\"u\">U</country>") << true << QString()
                                << QString();
    QTest::newRow("no code") << QStringLiteral("<country>Nowhere</country>") << true << QString()
                             << QString();
}

void TestApiValues::country()
{
    QFETCH(QString, xml);
    QFETCH(bool, isNull);
    QFETCH(QString, code);
    QFETCH(QString, name);

    const Country country = ApiTest::fromXml<Country>(xml);
    QCOMPARE(country.isNull(), isNull);
    QCOMPARE(country.code(), code);
    QCOMPARE(country.name(), name);
}

void TestApiValues::configurationFromAccount_data()
{
    QTest::addColumn<bool>("nullAccount");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("secret");

    QTest::newRow("null account") << true << QString() << QString() << QString();
    QTest::newRow("all three") << false << QStringLiteral("vpn1") << QStringLiteral("pw1")
                               << QStringLiteral("psk1");
    QTest::newRow("user name only") << false << QStringLiteral("vpn2") << QString() << QString();
}

void TestApiValues::configurationFromAccount()
{
    QFETCH(bool, nullAccount);
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, secret);

    VpnAccount account;
    if (!nullAccount) {
        account.setUsername(username);
        account.setPassword(password);
        account.setSharedSecret(secret);
    }
    const VpnConfiguration configuration = VpnConfiguration::fromAccount(account);
    QCOMPARE(configuration.isNull(), nullAccount);
    QCOMPARE(configuration.username(), username);
    QCOMPARE(configuration.password(), password);
    QCOMPARE(configuration.preSharedKey(), secret);
}

NOXEL_API_TEST_MAIN(TestApiValues)

#include "tst_apivalues.moc"
