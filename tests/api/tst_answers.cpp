#include "apitest.h"

#include "checkoutstatusrequest.h"
#include "createticketrequest.h"
#include "geoiprequest.h"
#include "logincheckrequest.h"
#include "statusrequest.h"
#include "trialrequest.h"
#include "urlrequest.h"
#include "variablesrequest.h"
#include "vpnserversrequest.h"

#include <QTest>

#include <ctime>

namespace {

const QString Missing = QStringLiteral("<missing>");

// key=value pairs sorted by key, for comparing hashes in a table.
QString describe(const QHash<QString, QString> &hash)
{
    QStringList pairs;
    for (auto it = hash.cbegin(); it != hash.cend(); ++it)
        pairs << it.key() + QLatin1Char('=') + it.value();
    pairs.sort();
    return pairs.join(QLatin1Char(' '));
}

QString describe(const QHash<QString, QVariant> &hash)
{
    QStringList pairs;
    for (auto it = hash.cbegin(); it != hash.cend(); ++it)
        pairs << it.key() + QLatin1Char('=') + QString::fromLatin1(it.value().typeName()) + QLatin1Char(':')
                + it.value().toString();
    pairs.sort();
    return pairs.join(QLatin1Char(' '));
}

QString describe(const VariablesRequest::Strings &strings)
{
    QStringList pairs;
    for (auto language = strings.cbegin(); language != strings.cend(); ++language) {
        for (auto it = language.value().cbegin(); it != language.value().cend(); ++it)
            pairs << language.key() + QLatin1Char('/') + it.key() + QLatin1Char('=') + it.value();
    }
    pairs.sort();
    return pairs.join(QLatin1Char(' '));
}

// What a local time shows of itself: the instant, the offset and whether it is summer time.
QString describe(const QDateTime &time)
{
    if (!time.isValid())
        return QStringLiteral("invalid");
    return QStringLiteral("%1 %2 %3 %4")
        .arg(time.toString(Qt::ISODate))
        .arg(time.toSecsSinceEpoch())
        .arg(time.offsetFromUtc())
        .arg(time.isDaylightTime() ? QStringLiteral("summer") : QStringLiteral("standard"));
}

QString vpnServerLine(const VpnServer &server)
{
    return QStringList({ server.uid(), QString::number(server.capacity()),
                           QString::number(server.capacityIndicator()), QString::number(server.provider()) })
        .join(QLatin1Char('|'));
}

} // namespace

class TestAnswers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void status_data();
    void status();
    void urls_data();
    void urls();
    void strings_data();
    void strings();
    void prefs_data();
    void prefs();
    void vpnServer();
    void vpnServerAttributes_data();
    void vpnServerAttributes();
    void vpnServerStealth_data();
    void vpnServerStealth();
    void vpnServerCheckTime_data();
    void vpnServerCheckTime();
    void geoIp_data();
    void geoIp();
    void url_data();
    void url();
    void createTicket_data();
    void createTicket();
    void trial_data();
    void trial();
    void checkoutStatus_data();
    void checkoutStatus();
    void loginCheck();

private:
    QByteArray zone;
    bool zoneSet = false;
};

void TestAnswers::initTestCase()
{
    zoneSet = qEnvironmentVariableIsSet("TZ");
    zone = qgetenv("TZ");
}

void TestAnswers::cleanup()
{
    if (zoneSet)
        qputenv("TZ", zone);
    else
        qunsetenv("TZ");
    tzset();
}

void TestAnswers::status_data()
{
    QTest::addColumn<bool>("withVariables");
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("hasStatus");
    QTest::addColumn<QString>("urls");

    const QString userStatus = QStringLiteral("<user-status update-interval=\"120\"><trial/></user-status>");
    QTest::newRow("bare user-status") << false << userStatus << true << QString();
    QTest::newRow("bare user-status, prolog")
        << false << QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + userStatus << true
        << QString();
    QTest::newRow("user-status below status")
        << false << QStringLiteral("<status>") + userStatus + QStringLiteral("</status>") << true
        << QString();
    QTest::newRow("variables not asked for are ignored") << false
                                                         << QStringLiteral("<status>") + userStatus
            + QStringLiteral("<variables><urls><url key=\"a\">https://a</url></urls></variables></status>")
                                                         << true << QString();
    QTest::newRow("with variables") << true
                                    << QStringLiteral("<status>") + userStatus
            + QStringLiteral("<variables><urls><url key=\"a\">https://a</url></urls></variables></status>")
                                    << true << QStringLiteral("a=https://a");
    QTest::newRow("with variables before the status")
        << true
        << QStringLiteral("<status><variables><urls><url key=\"b\">https://b</url></urls></variables>")
            + userStatus + QStringLiteral("</status>")
        << true << QStringLiteral("b=https://b");
    QTest::newRow("with variables, no user-status")
        << true << QStringLiteral("<status><variables/></status>") << false << QString();
}

void TestAnswers::status()
{
    QFETCH(bool, withVariables);
    QFETCH(QString, xml);
    QFETCH(bool, hasStatus);
    QFETCH(QString, urls);

    StatusRequest request;
    request.setIncludeVariables(withVariables);
    QVERIFY(ApiTest::readAnswer(request, xml));
    QCOMPARE(!request.userStatus().isNull(), hasStatus);
    if (hasStatus) {
        QCOMPARE(request.userStatus().updateInterval(), 120);
        QVERIFY(request.userStatus().isTrial());
    }
    QCOMPARE(describe(request.urls()), urls);
}

void TestAnswers::urls_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("urls");

    QTest::newRow("none") << QStringLiteral("<variables><urls/></variables>") << QString();
    QTest::newRow("two") << QStringLiteral(
        "<variables><urls><url key=\"account\">https://e.org/a</url>"
        "<url key=\"help\">https://e.org/h?x=1&amp;y=2</url></urls></variables>")
                         << QStringLiteral("account=https://e.org/a help=https://e.org/h?x=1&y=2");
    QTest::newRow("later duplicate wins") << QStringLiteral(
        "<variables><urls><url key=\"k\">https://old</url><url key=\"k\">https://new</url>"
        "</urls></variables>") << QStringLiteral("k=https://new");
    QTest::newRow("duplicate in a second urls")
        << QStringLiteral("<variables><urls><url key=\"k\">https://old</url></urls>"
                          "<urls><url key=\"k\">https://new</url></urls></variables>")
        << QStringLiteral("k=https://new");
}

void TestAnswers::urls()
{
    QFETCH(QString, xml);
    QFETCH(QString, urls);

    VariablesRequest request;
    QVERIFY(ApiTest::readAnswer(request, xml));
    QCOMPARE(describe(request.urls()), urls);
}

void TestAnswers::strings_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("strings");

    QTest::newRow("no language is English")
        << QStringLiteral("<variables><strings><string key=\"hello\">Hello</string></strings></variables>")
        << QStringLiteral("en/hello=Hello");
    QTest::newRow("languages") << QStringLiteral(
        "<variables><strings><string key=\"hello\" lang=\"de\">Hallo</string>"
        "<string key=\"hello\">Hello</string><string key=\"bye\" lang=\"fr\">Salut</string>"
        "</strings></variables>")
                               << QStringLiteral("de/hello=Hallo en/hello=Hello fr/bye=Salut");
    QTest::newRow("empty key dropped")
        << QStringLiteral("<variables><strings><string key=\"\">x</string><string>y</string>"
                          "<string key=\"k\">z</string></strings></variables>")
        << QStringLiteral("en/k=z");
    QTest::newRow("other elements ignored")
        << QStringLiteral("<variables><strings><text key=\"k\">x</text></strings></variables>") << QString();
}

void TestAnswers::strings()
{
    QFETCH(QString, xml);
    QFETCH(QString, strings);

    VariablesRequest request;
    QVERIFY(ApiTest::readAnswer(request, xml));
    QCOMPARE(describe(request.strings()), strings);
}

void TestAnswers::prefs_data()
{
    QTest::addColumn<QString>("prefs");
    QTest::addColumn<QString>("values");

    QTest::newRow("int") << QStringLiteral("<int name=\"n\">42</int><int name=\"neg\">-7</int>")
                         << QStringLiteral("n=int:42 neg=int:-7");
    QTest::newRow("int not a number") << QStringLiteral("<int name=\"n\">many</int><int name=\"e\"></int>")
                                      << QStringLiteral("e=int:0 n=int:0");
    QTest::newRow("int too big") << QStringLiteral("<int name=\"n\">99999999999</int>")
                                 << QStringLiteral("n=int:0");
    QTest::newRow("bool true") << QStringLiteral("<bool name=\"a\">true</bool><bool name=\"b\">1</bool>"
                                                 "<bool name=\"c\">on</bool>")
                               << QStringLiteral("a=bool:true b=bool:true c=bool:true");
    QTest::newRow("bool false") << QStringLiteral("<bool name=\"a\">false</bool><bool name=\"b\">yes</bool>"
                                                  "<bool name=\"c\">TRUE</bool><bool name=\"d\"/>")
                                << QStringLiteral("a=bool:false b=bool:false c=bool:false d=bool:false");
    QTest::newRow("string as is") << QStringLiteral("<string name=\"s\"> spaced &lt;b&gt; </string>")
                                  << QStringLiteral("s=QString: spaced <b> ");
    QTest::newRow("other element names ignored")
        << QStringLiteral("<float name=\"f\">1.5</float><list name=\"l\">a</list><int name=\"i\">1</int>")
        << QStringLiteral("i=int:1");
}

void TestAnswers::prefs()
{
    QFETCH(QString, prefs);
    QFETCH(QString, values);

    VariablesRequest request;
    QVERIFY(
        ApiTest::readAnswer(request, QStringLiteral("<variables><prefs>%1</prefs></variables>").arg(prefs)));
    QCOMPARE(describe(request.prefs()), values);
}

void TestAnswers::vpnServer()
{
    VpnServersRequest request;
    QVERIFY(ApiTest::readAnswer(request,
        QStringLiteral(
            "<vpn-servers>\n"
            "<vpn-server uid=\"de-fra-01\" capacity=\"73\" capacity-indicator=\"2\" provider=\"5\">\n"
            "  <host>fra1.vpn.example.net</host>\n"
            "  <address>203.0.113.10</address>\n"
            "  <location><name>Frankfurt</name><coord lng=\"8.6821\" lat=\"50.1109\" alt=\"112\"/>"
            "</location>\n"
            "  <country code=\"de\">Germany</country>\n"
            "  <stealth address=\"203.0.113.11\" port=\"40443\"/>\n"
            "  <check ts=\"2024-05-06 07:08:09\" result=\"3\"/>\n"
            "  <vpn-provider key=\"acme\"/>\n"
            "</vpn-server>\n"
            "<vpn-server uid=\"nl-ams-01\"/>\n"
            "</vpn-servers>\n")));
    const QList<VpnServer> servers = request.servers();
    QCOMPARE(servers.size(), 2);
    const VpnServer server = servers.first();
    QVERIFY(!server.isNull());
    QCOMPARE(server.uid(), QStringLiteral("de-fra-01"));
    QCOMPARE(server.capacity(), quint16(73));
    QCOMPARE(server.capacityIndicator(), quint16(2));
    QCOMPARE(server.provider(), 5);
    QCOMPARE(server.host(), QStringLiteral("fra1.vpn.example.net"));
    QCOMPARE(server.address(), QStringLiteral("203.0.113.10"));
    QCOMPARE(server.location().name(), QStringLiteral("Frankfurt"));
    QCOMPARE(server.location().coord().lng(), 8.6821);
    QCOMPARE(server.location().coord().lat(), 50.1109);
    QCOMPARE(server.location().coord().alt(), 112.0);
    QCOMPARE(server.country().code(), QStringLiteral("de"));
    QCOMPARE(server.country().name(), QStringLiteral("Germany"));
    QCOMPARE(server.stealthAddress(), QStringLiteral("203.0.113.11"));
    QCOMPARE(server.stealthPort(), quint16(40443));
    QCOMPARE(server.checkTime(), QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
    QCOMPARE(server.checkResult(), 3);
    QCOMPARE(server.vpnProvider().key(), QStringLiteral("acme"));

    // The second one has only its uid: nothing of the first may leak into it.
    const VpnServer bare = servers.last();
    QCOMPARE(bare.uid(), QStringLiteral("nl-ams-01"));
    QCOMPARE(bare.capacity(), VpnServer::UnknownCapacity);
    QCOMPARE(bare.capacityIndicator(), VpnServer::UnknownCapacity);
    QCOMPARE(bare.host(), QString());
    QVERIFY(bare.country().isNull());
    QVERIFY(bare.location().isNull());
    QCOMPARE(bare.stealthPort(), quint16(0));
    QVERIFY(!bare.checkTime().isValid());
    QVERIFY(bare.vpnProvider().isNull());
}

void TestAnswers::vpnServerAttributes_data()
{
    QTest::addColumn<QString>("attributes");
    QTest::addColumn<QString>("server");

    QTest::newRow("all") << QStringLiteral(
        "uid=\"a\" capacity=\"0\" capacity-indicator=\"65535\" provider=\"-1\"")
                         << QStringLiteral("a|0|65535|-1");
    QTest::newRow("capacity missing") << QStringLiteral("uid=\"b\"") << QStringLiteral("b|65535|65535|0");
    QTest::newRow("not numbers") << QStringLiteral(
        "uid=\"c\" capacity=\"full\" capacity-indicator=\"\" provider=\"x\"")
                                 << QStringLiteral("c|65535|65535|0");
    QTest::newRow("out of range") << QStringLiteral("uid=\"d\" capacity=\"65536\" capacity-indicator=\"-1\" "
                                                    "provider=\"2147483648\"")
                                  << QStringLiteral("d|65535|65535|0");
}

void TestAnswers::vpnServerAttributes()
{
    QFETCH(QString, attributes);
    QFETCH(QString, server);

    VpnServersRequest request;
    QVERIFY(ApiTest::readAnswer(
        request, QStringLiteral("<vpn-servers><vpn-server %1/></vpn-servers>").arg(attributes)));
    QCOMPARE(request.servers().size(), 1);
    QCOMPARE(vpnServerLine(request.servers().first()), server);
}

void TestAnswers::vpnServerStealth_data()
{
    QTest::addColumn<QString>("stealth");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");

    QTest::newRow("both") << QStringLiteral("<stealth address=\"192.0.2.1\" port=\"443\"/>")
                          << QStringLiteral("192.0.2.1") << 443;
    QTest::newRow("port 65535") << QStringLiteral("<stealth port=\"65535\"/>") << QString() << 65535;
    QTest::newRow("port 70000 leaves 0") << QStringLiteral("<stealth address=\"192.0.2.1\" port=\"70000\"/>")
                                         << QStringLiteral("192.0.2.1") << 0;
    QTest::newRow("port not a number") << QStringLiteral("<stealth port=\"https\"/>") << QString() << 0;
    QTest::newRow("none") << QString() << QString() << 0;
}

void TestAnswers::vpnServerStealth()
{
    QFETCH(QString, stealth);
    QFETCH(QString, address);
    QFETCH(int, port);

    VpnServersRequest request;
    QVERIFY(ApiTest::readAnswer(request,
        QStringLiteral("<vpn-servers><vpn-server uid=\"s\">%1</vpn-server></vpn-servers>").arg(stealth)));
    QCOMPARE(request.servers().size(), 1);
    QCOMPARE(request.servers().first().stealthAddress(), address);
    QCOMPARE(int(request.servers().first().stealthPort()), port);
}

void TestAnswers::vpnServerCheckTime_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("time");

    const QByteArray berlin = QByteArrayLiteral("Europe/Berlin");
    QTest::newRow("Berlin, summer") << berlin << QStringLiteral("2024-05-06 07:08:09");
    QTest::newRow("Berlin, hour skipped in spring") << berlin << QStringLiteral("2024-03-31 02:30:00");
    QTest::newRow("Berlin, hour shown twice in autumn") << berlin << QStringLiteral("2024-10-27 02:30:00");
    QTest::newRow("Berlin, after the hour shown twice") << berlin << QStringLiteral("2024-10-27 03:00:00");
    QTest::newRow("Berlin, no such day") << berlin << QStringLiteral("2024-02-30 10:00:00");
    QTest::newRow("Berlin, hour 24") << berlin << QStringLiteral("2024-05-06 24:00:00");
    QTest::newRow("Berlin, single digits") << berlin << QStringLiteral("2024-5-6 7:8:9");
    QTest::newRow("Berlin, trailing blank") << berlin << QStringLiteral("2024-05-06 07:08:09 ");
    QTest::newRow("Berlin, empty") << berlin << QString();
    QTest::newRow("rule in TZ, hour shown twice")
        << QByteArrayLiteral("CET-1CEST,M3.5.0,M10.5.0/3") << QStringLiteral("2024-10-27 02:30:00");
    QTest::newRow("New York, hour shown twice")
        << QByteArrayLiteral("America/New_York") << QStringLiteral("2024-11-03 01:30:00");
    QTest::newRow("Lord Howe, half hour shown twice")
        << QByteArrayLiteral("Australia/Lord_Howe") << QStringLiteral("2024-04-07 01:45:00");
    QTest::newRow("Apia, day skipped")
        << QByteArrayLiteral("Pacific/Apia") << QStringLiteral("2011-12-30 12:00:00");
    QTest::newRow("Apia, day before the skip")
        << QByteArrayLiteral("Pacific/Apia") << QStringLiteral("2011-12-29 23:59:59");
    QTest::newRow("UTC") << QByteArrayLiteral("UTC") << QStringLiteral("2024-10-27 02:30:00");
}

void TestAnswers::vpnServerCheckTime()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, time);

    qputenv("TZ", zone);
    tzset();
    // A local time shown twice is the one QDateTime::fromString picks, whatever the
    // times read before it: once after a winter time, once after a summer time.
    const QString format = QStringLiteral("<vpn-server uid=\"%1\"><check ts=\"%2\"/></vpn-server>");
    VpnServersRequest request;
    QVERIFY(ApiTest::readAnswer(request,
        QStringLiteral("<vpn-servers>")
            + format.arg(QStringLiteral("winter"), time.left(4) + QStringLiteral("-01-15 02:30:00"))
            + format.arg(QStringLiteral("a"), time)
            + format.arg(QStringLiteral("summer"), time.left(4) + QStringLiteral("-07-15 02:30:00"))
            + format.arg(QStringLiteral("b"), time) + QStringLiteral("</vpn-servers>")));
    const QList<VpnServer> servers = request.servers();
    QCOMPARE(servers.size(), 4);
    const QString expected = describe(QDateTime::fromString(time, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    QCOMPARE(describe(servers.at(1).checkTime()), expected);
    QCOMPARE(describe(servers.at(3).checkTime()), expected);
}

void TestAnswers::geoIp_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("country");

    QTest::newRow("below the root") << QStringLiteral(
        "<answer><geoip><address>198.51.100.1</address><country code=\"nl\">Netherlands"
        "</country></geoip></answer>")
                                    << QStringLiteral("198.51.100.1") << QStringLiteral("nl");
    QTest::newRow("below a geoip root")
        << QStringLiteral("<geoip><geoip><address>198.51.100.2</address></geoip></geoip>")
        << QStringLiteral("198.51.100.2") << QString();
    QTest::newRow("deeper") << QStringLiteral("<a><b><geoip><address>198.51.100.3</address></geoip></b></a>")
                            << QStringLiteral("198.51.100.3") << QString();
    QTest::newRow("root geoip without child")
        << QStringLiteral("<geoip><address>198.51.100.4</address></geoip>") << Missing << QString();
    QTest::newRow("empty root") << QStringLiteral("<geoip/>") << Missing << QString();
    QTest::newRow("three-letter country is null") << QStringLiteral(
        "<r><geoip><address>198.51.100.5</address><country code=\"usa\">United States</country>"
        "<isp>ISP</isp></geoip></r>") << QStringLiteral("198.51.100.5")
                                                  << QString();
}

void TestAnswers::geoIp()
{
    QFETCH(QString, xml);
    QFETCH(QString, address);
    QFETCH(QString, country);

    GeoIpRequest request;
    QVERIFY(ApiTest::readAnswer(request, xml));
    const GeoIp geoIp = request.geoIp();
    QCOMPARE(geoIp.isNull(), address == Missing);
    if (geoIp.isNull())
        return;
    QCOMPARE(geoIp.address(), address);
    QCOMPARE(geoIp.country().isNull(), country.isEmpty());
    QCOMPARE(geoIp.country().code(), country);
}

void TestAnswers::url_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QUrl>("url");

    QTest::newRow("root") << QStringLiteral("<url>https://example.org/account?t=abc</url>")
                          << QUrl(QStringLiteral("https://example.org/account?t=abc"));
    QTest::newRow("root with spaces") << QStringLiteral("<url>\n  https://example.org/a\n</url>")
                                      << QUrl(QStringLiteral("https://example.org/a"));
    QTest::newRow("nested") << QStringLiteral("<answer><url>https://example.org/n?a=1&amp;b=2</url></answer>")
                            << QUrl(QStringLiteral("https://example.org/n?a=1&b=2"));
    QTest::newRow("none") << QStringLiteral("<answer/>") << QUrl();
}

void TestAnswers::url()
{
    QFETCH(QString, xml);
    QFETCH(QUrl, url);

    UrlRequest request(QStringLiteral("account"), {});
    QVERIFY(ApiTest::readAnswer(request, xml));
    QCOMPARE(request.url(), url);
}

void TestAnswers::createTicket_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QString>("success");

    QTest::newRow("success") << QStringLiteral(
        "<create-ticket><success>Ticket #123 created</success></create-ticket>")
                             << QStringList() << QStringLiteral("Ticket #123 created");
    QTest::newRow("errors") << QStringLiteral(
        "<create-ticket><errors><error>Bad e-mail</error><error>Empty message</error></errors>"
        "</create-ticket>") << QStringList({ QStringLiteral("Bad e-mail"), QStringLiteral("Empty message") })
                            << QString();
    QTest::newRow("nothing") << QStringLiteral("<create-ticket/>") << QStringList() << QString();
}

void TestAnswers::createTicket()
{
    QFETCH(QString, xml);
    QFETCH(QStringList, errors);
    QFETCH(QString, success);

    CreateTicketRequest request(QString(), QString(), QStringLiteral("m"));
    QVERIFY(ApiTest::readAnswer(request, xml));
    QCOMPARE(request.errors(), errors);
    QCOMPARE(request.success(), success);
}

void TestAnswers::trial_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("checkout");
    QTest::addColumn<QString>("checkoutUid");
    QTest::addColumn<bool>("hasCredentials");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("error");

    QTest::newRow("checkout only") << QStringLiteral("<trial><checkout uid=\"chk-9\"/></trial>") << true
                                   << QStringLiteral("chk-9") << false << QString() << QString() << QString();
    QTest::newRow("credentials") << QStringLiteral(
        "<trial><username>t123</username><password>pw</password></trial>")
                                 << false << QString() << true << QStringLiteral("t123")
                                 << QStringLiteral("pw") << QString();
    QTest::newRow("error") << QStringLiteral("<trial><error-message>Trial used</error-message></trial>")
                           << false << QString() << false << QString() << QString()
                           << QStringLiteral("Trial used");
    QTest::newRow("empty") << QStringLiteral("<trial/>") << false << QString() << false << QString()
                           << QString() << QString();
}

void TestAnswers::trial()
{
    QFETCH(QString, xml);
    QFETCH(bool, checkout);
    QFETCH(QString, checkoutUid);
    QFETCH(bool, hasCredentials);
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, error);

    TrialRequest request(QStringLiteral("uuid"));
    QVERIFY(ApiTest::readAnswer(request, xml));
    QCOMPARE(request.isCheckout(), checkout);
    QCOMPARE(request.checkoutUid(), checkoutUid);
    QCOMPARE(request.hasCredentials(), hasCredentials);
    QCOMPARE(request.username(), username);
    QCOMPARE(request.password(), password);
    QCOMPARE(request.errorMessage(), error);
}

void TestAnswers::checkoutStatus_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("hasCredentials");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");

    QTest::newRow("pending") << QStringLiteral("<checkout-status><status>pending</status></checkout-status>")
                             << QStringLiteral("pending") << false << QString() << QString();
    QTest::newRow("done") << QStringLiteral("<checkout-status><status>done</status><username>u1</username>"
                                            "<password>p1</password></checkout-status>")
                          << QStringLiteral("done") << true << QStringLiteral("u1") << QStringLiteral("p1");
    QTest::newRow("empty") << QStringLiteral("<checkout-status/>") << QString() << false << QString()
                           << QString();
}

void TestAnswers::checkoutStatus()
{
    QFETCH(QString, xml);
    QFETCH(QString, status);
    QFETCH(bool, hasCredentials);
    QFETCH(QString, username);
    QFETCH(QString, password);

    CheckoutStatusRequest request(QStringLiteral("chk"));
    QVERIFY(ApiTest::readAnswer(request, xml));
    QCOMPARE(request.status(), status);
    QCOMPARE(request.hasCredentials(), hasCredentials);
    QCOMPARE(request.username(), username);
    QCOMPARE(request.password(), password);
}

void TestAnswers::loginCheck()
{
    LoginCheckRequest request;
    QVERIFY(ApiTest::readAnswer(request,
        QStringLiteral("<login-check><error-message>Wrong password</error-message>"
                       "</login-check>")));
    QCOMPARE(request.errorMessage(), QStringLiteral("Wrong password"));
}

NOXEL_API_TEST_MAIN(TestAnswers)

#include "tst_answers.moc"
