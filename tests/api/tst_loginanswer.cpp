#include "apitest.h"

#include "anonymousloginrequest.h"
#include "loginrequest.h"

#include <QTest>

namespace {

QString describe(const QList<NetworkAddress> &addresses)
{
    QStringList list;
    for (const NetworkAddress &address : addresses)
        list << address.description();
    return list.join(QLatin1Char(' '));
}

} // namespace

class TestLoginAnswer : public QObject
{
    Q_OBJECT

private slots:
    void update_data();
    void update();
    void geoIpMode_data();
    void geoIpMode();
    void addresses_data();
    void addresses();
    void fullAnswer();
    void anonymous_data();
    void anonymous();
};

void TestLoginAnswer::update_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("available");
    QTest::addColumn<bool>("optional");
    QTest::addColumn<QString>("url");

    QTest::newRow("no software") << QStringLiteral("<login/>") << false << false << QString();
    QTest::newRow("no update") << QStringLiteral("<login><software/></login>") << false << false << QString();
    QTest::newRow("optional") << QStringLiteral(
        "<login><software><update optional=\"true\"><url>https://example.org/2.4</url>"
        "</update></software></login>")
                              << true << true << QStringLiteral("https://example.org/2.4");
    QTest::newRow("mandatory: no attribute") << QStringLiteral(
        "<login><software><update><url>https://example.org/3.0</url></update></software></login>")
                                             << true << false << QStringLiteral("https://example.org/3.0");
    QTest::newRow("mandatory: optional false")
        << QStringLiteral("<login><software><update optional=\"false\"/></software></login>") << true << false
        << QString();
    QTest::newRow("url outside update")
        << QStringLiteral("<login><software><url>https://example.org/x</url></software></login>") << false
        << false << QString();
    QTest::newRow("url outside software")
        << QStringLiteral("<login><url>https://example.org/x</url><software/></login>") << false << false
        << QString();
}

void TestLoginAnswer::update()
{
    QFETCH(QString, xml);
    QFETCH(bool, available);
    QFETCH(bool, optional);
    QFETCH(QString, url);

    LoginRequest request;
    QVERIFY(ApiTest::readAnswer(request, xml));
    QCOMPARE(request.isUpdateAvailable(), available);
    QCOMPARE(request.isUpdateOptional(), optional);
    QCOMPARE(request.updateUrl(), url);
}

void TestLoginAnswer::geoIpMode_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("geoIpMode");

    QTest::newRow("no settings") << QStringLiteral("<login/>") << false;
    QTest::newRow("mode 2") << QStringLiteral("<login><settings><gq mode=\"2\"/></settings></login>") << true;
    QTest::newRow("mode 1") << QStringLiteral("<login><settings><gq mode=\"1\"/></settings></login>")
                            << false;
    QTest::newRow("no mode") << QStringLiteral("<login><settings><gq/></settings></login>") << false;
}

void TestLoginAnswer::geoIpMode()
{
    QFETCH(QString, xml);
    QFETCH(bool, geoIpMode);

    LoginRequest request;
    QVERIFY(ApiTest::readAnswer(request, xml));
    QCOMPARE(request.geoIpMode(), geoIpMode);
}

void TestLoginAnswer::addresses_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("addresses");

    QTest::newRow("none") << QStringLiteral("<login><addresses/></login>") << QString();
    QTest::newRow("two") << QStringLiteral(
        "<login><addresses><address port=\"443\" secure=\"true\">api1.example.net</address>"
        "<address port=\"1080\">10.1.2.3</address></addresses></login>")
                         << QStringLiteral("tls://api1.example.net:443 10.1.2.3:1080");
    QTest::newRow("port above 32767")
        << QStringLiteral(
               "<login><addresses><address port=\"40443\" secure=\"true\">api2.example.net</address>"
               "<address port=\"65535\" secure=\"false\">api3.example.net</address></addresses></login>")
        << QStringLiteral("tls://api2.example.net:40443 api3.example.net:65535");
    QTest::newRow("port out of range") << QStringLiteral(
        "<login><addresses><address port=\"70000\">api4.example.net</address></addresses></login>")
                                       << QStringLiteral("api4.example.net:0");
}

void TestLoginAnswer::addresses()
{
    QFETCH(QString, xml);
    QFETCH(QString, addresses);

    LoginRequest request;
    QVERIFY(ApiTest::readAnswer(request, xml));
    QCOMPARE(describe(request.addresses()), addresses);
}

void TestLoginAnswer::fullAnswer()
{
    // Every part at once, with the geo-IP before and after the status.
    const QString xml = QStringLiteral(
        "<?xml version=\"1.0\"?>\n"
        "<login>\n"
        "  <geoip><address>198.51.100.7</address><country code=\"de\">Germany</country><isp>Example ISP</isp>"
        "<location>Berlin</location><coord lng=\"13.4\" lat=\"52.5\"/></geoip>\n"
        "  <user-status update-interval=\"300\" timestamp=\"1700000000\"><trial/></user-status>\n"
        "  <software><update optional=\"true\"><url>https://example.org/up</url></update></software>\n"
        "  <settings><gq mode=\"2\"/></settings>\n"
        "  <addresses><address port=\"40443\" secure=\"true\">api.example.net</address></addresses>\n"
        "</login>\n");

    LoginRequest request;
    QVERIFY(ApiTest::readAnswer(request, xml));
    const GeoIp geoIp = request.geoIp();
    QVERIFY(!geoIp.isNull());
    QCOMPARE(geoIp.address(), QStringLiteral("198.51.100.7"));
    QCOMPARE(geoIp.country().code(), QStringLiteral("de"));
    QCOMPARE(geoIp.country().name(), QStringLiteral("Germany"));
    QCOMPARE(geoIp.isp(), QStringLiteral("Example ISP"));
    QCOMPARE(geoIp.location(), QStringLiteral("Berlin"));
    QCOMPARE(geoIp.coord().lng(), 13.4);
    QCOMPARE(geoIp.coord().lat(), 52.5);
    const UserStatus status = request.userStatus();
    QVERIFY(!status.isNull());
    QCOMPARE(status.updateInterval(), 300);
    QCOMPARE(status.timestamp(), qint64(1700000000));
    QVERIFY(status.isTrial());
    QVERIFY(status.isActive());
    QVERIFY(request.isUpdateAvailable());
    QVERIFY(request.isUpdateOptional());
    QCOMPARE(request.updateUrl(), QStringLiteral("https://example.org/up"));
    QVERIFY(request.geoIpMode());
    QCOMPARE(describe(request.addresses()), QStringLiteral("tls://api.example.net:40443"));
    // The address of the geo-IP is not an API address.
    QCOMPARE(request.addresses().size(), 1);
}

void TestLoginAnswer::anonymous_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("loginDialog");
    QTest::addColumn<bool>("geoIpMode");
    QTest::addColumn<int>("addresses");

    QTest::newRow("plain") << QStringLiteral("<login/>") << false << false << 0;
    QTest::newRow("login dialog") << QStringLiteral("<login><login-dialog/></login>") << true << false << 0;
    QTest::newRow("login dialog with the common parts")
        << QStringLiteral("<login><settings><gq mode=\"2\"/></settings><login-dialog/>"
                          "<addresses><address port=\"443\">a.example.net</address></addresses></login>")
        << true << true << 1;
    QTest::newRow("common parts only")
        << QStringLiteral("<login><settings><gq mode=\"2\"/></settings></login>") << false << true << 0;
}

void TestLoginAnswer::anonymous()
{
    QFETCH(QString, xml);
    QFETCH(bool, loginDialog);
    QFETCH(bool, geoIpMode);
    QFETCH(int, addresses);

    AnonymousLoginRequest request;
    QVERIFY(ApiTest::readAnswer(request, xml));
    QCOMPARE(request.isLoginDialogRequested(), loginDialog);
    QCOMPARE(request.geoIpMode(), geoIpMode);
    QCOMPARE(request.addresses().size(), addresses);
}

NOXEL_API_TEST_MAIN(TestLoginAnswer)

#include "tst_loginanswer.moc"
