#include "apitest.h"

#include "anonymousloginrequest.h"
#include "checkoutstatusrequest.h"
#include "createticketrequest.h"
#include "errorreportrequest.h"
#include "geoiprequest.h"
#include "logincheckrequest.h"
#include "loginrequest.h"
#include "statusrequest.h"
#include "trialrequest.h"
#include "urlrequest.h"
#include "variablesrequest.h"
#include "vpnserversrequest.h"

#include <QElapsedTimer>
#include <QTest>

#include <memory>

namespace {

const QStringList kinds = {
    QStringLiteral("login"),
    QStringLiteral("anonymous"),
    QStringLiteral("login-check"),
    QStringLiteral("trial"),
    QStringLiteral("checkout"),
    QStringLiteral("status"),
    QStringLiteral("status+vars"),
    QStringLiteral("variables"),
    QStringLiteral("vpn-servers"),
    QStringLiteral("geoip"),
    QStringLiteral("url"),
    QStringLiteral("create-ticket"),
    QStringLiteral("error-report"),
};

std::unique_ptr<Request> makeRequest(const QString &kind)
{
    if (kind == QLatin1String("login"))
        return std::make_unique<LoginRequest>();
    if (kind == QLatin1String("anonymous"))
        return std::make_unique<AnonymousLoginRequest>();
    if (kind == QLatin1String("login-check"))
        return std::make_unique<LoginCheckRequest>();
    if (kind == QLatin1String("trial"))
        return std::make_unique<TrialRequest>(QStringLiteral("uuid"));
    if (kind == QLatin1String("checkout"))
        return std::make_unique<CheckoutStatusRequest>(QStringLiteral("chk"));
    if (kind == QLatin1String("status") || kind == QLatin1String("status+vars")) {
        auto request = std::make_unique<StatusRequest>();
        request->setIncludeVariables(kind == QLatin1String("status+vars"));
        return request;
    }
    if (kind == QLatin1String("variables"))
        return std::make_unique<VariablesRequest>();
    if (kind == QLatin1String("vpn-servers"))
        return std::make_unique<VpnServersRequest>();
    if (kind == QLatin1String("geoip"))
        return std::make_unique<GeoIpRequest>();
    if (kind == QLatin1String("url"))
        return std::make_unique<UrlRequest>(QStringLiteral("k"), QHash<QString, QString>());
    if (kind == QLatin1String("create-ticket"))
        return std::make_unique<CreateTicketRequest>(QString(), QString(), QStringLiteral("m"));
    return std::make_unique<ErrorReportRequest>();
}

const QString userStatus = QStringLiteral(
    "<user-status update-interval=\"300\" timestamp=\"1700000000\">"
    "<vpn-account><username>u</username><password>p</password><shared-secret>s</shared-secret></vpn-account>"
    "<vpn-resources><vpn-resource key=\"ca\" protocol=\"ovpn_stealth\" provider=\"1\">QUJD</vpn-resource>"
    "</vpn-resources>"
    "<message type=\"warning\"><text>t</text><link type=\"status-update\"/><link type=\"order\"/></message>"
    "<rows><row><label>l</label><value>v</value></row></rows>"
    "<term start=\"2024-01-01 00:00:00\" end=\"2025-01-01 00:00:00\"/>"
    "<payment-notification forced=\"true\" lock-secs=\"5\"><title>x</title>"
    "<subscriptions default=\"a\"><subscription key=\"a\"><description>d</description></subscription>"
    "</subscriptions><payment-options><payment-option key=\"c\"><name>n</name><pixmap dpr=\"2\">QUJD</pixmap>"
    "<url>https://p</url></payment-option></payment-options></payment-notification>"
    "<admin/><trial/><stealth-ovpn/><vpn-disconnect/></user-status>");

const QString variables = QStringLiteral("<variables><urls><url key=\"a\">https://a</url></urls>"
                                         "<strings><string key=\"k\" lang=\"de\">v</string></strings>"
                                         "<prefs><int name=\"i\">1</int><bool name=\"b\">true</bool><string "
                                         "name=\"s\">x</string></prefs></variables>");

const QString geoIp
    = QStringLiteral("<geoip><address>198.51.100.1</address><country code=\"de\">Germany</country>"
                     "<isp>i</isp><location>l</location><coord lng=\"1\" lat=\"2\"/></geoip>");

// A complete, rich answer for each kind of request.
QString fullAnswer(const QString &kind)
{
    const QString prolog = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    if (kind == QLatin1String("login") || kind == QLatin1String("anonymous"))
        return prolog + QStringLiteral("<login>") + geoIp + userStatus
            + QStringLiteral(
                "<login-dialog/><software><update optional=\"true\"><url>https://u</url></update>"
                "</software><settings><gq mode=\"2\"/></settings><addresses>"
                "<address port=\"40443\" secure=\"true\">api.example.net</address></addresses></login>");
    if (kind == QLatin1String("login-check"))
        return prolog + QStringLiteral("<login-check><error-message>e</error-message></login-check>");
    if (kind == QLatin1String("trial"))
        return prolog
            + QStringLiteral(
                "<trial><checkout uid=\"c\"/><username>u</username><password>p</password></trial>");
    if (kind == QLatin1String("checkout"))
        return prolog
            + QStringLiteral("<checkout-status><status>done</status><username>u</username>"
                             "<password>p</password></checkout-status>");
    if (kind == QLatin1String("status"))
        return prolog + userStatus;
    if (kind == QLatin1String("status+vars"))
        return prolog + QStringLiteral("<status>") + userStatus + variables + QStringLiteral("</status>");
    if (kind == QLatin1String("variables"))
        return prolog + variables;
    if (kind == QLatin1String("vpn-servers"))
        return prolog
            + QStringLiteral(
                "<vpn-servers><vpn-server uid=\"a\" capacity=\"1\" capacity-indicator=\"2\" provider=\"3\">"
                "<host>h</host><address>a</address><location><name>n</name><coord lng=\"1\" lat=\"2\"/>"
                "</location><country code=\"de\">Germany</country><stealth address=\"s\" port=\"443\"/>"
                "<check ts=\"2024-01-01 00:00:00\" result=\"1\"/><vpn-provider key=\"k\"/></vpn-server>"
                "</vpn-servers>");
    if (kind == QLatin1String("geoip"))
        return prolog + QStringLiteral("<answer>") + geoIp + QStringLiteral("</answer>");
    if (kind == QLatin1String("url"))
        return prolog + QStringLiteral("<answer><url>https://example.org/x</url></answer>");
    if (kind == QLatin1String("create-ticket"))
        return prolog
            + QStringLiteral(
                "<create-ticket><errors><error>e</error></errors><success>s</success></create-ticket>");
    return prolog + QStringLiteral("<error-report/>");
}

QString nested(const QString &name, int depth, const QString &inner)
{
    return QStringLiteral("<%1>").arg(name).repeated(depth) + inner
        + QStringLiteral("</%1>").arg(name).repeated(depth);
}

} // namespace

class TestMalformedAnswers : public QObject
{
    Q_OBJECT

private slots:
    void truncated_data();
    void truncated();
    void malformed_data();
    void malformed();
    void hugeNumbers();
};

void TestMalformedAnswers::truncated_data()
{
    QTest::addColumn<QString>("kind");
    for (const QString &kind : kinds)
        QTest::newRow(qPrintable(kind)) << kind;
}

void TestMalformedAnswers::truncated()
{
    QFETCH(QString, kind);

    const QString xml = fullAnswer(kind);
    {
        const std::unique_ptr<Request> request = makeRequest(kind);
        QVERIFY2(ApiTest::readAnswer(*request, xml), qPrintable(xml));
    }
    // Every prefix, as a connection cut at any byte would leave it.
    for (qsizetype length = 0; length < xml.size(); ++length) {
        const std::unique_ptr<Request> request = makeRequest(kind);
        ApiTest::readAnswer(*request, xml.left(length));
    }
}

void TestMalformedAnswers::malformed_data()
{
    QTest::addColumn<QString>("xml");

    QTest::newRow("empty") << QString();
    QTest::newRow("prolog only") << QStringLiteral("<?xml version=\"1.0\"?>");
    QTest::newRow("not XML") << QStringLiteral("HTTP/1.1 502 Bad Gateway\r\n\r\n");
    QTest::newRow("binary") << QString::fromLatin1(QByteArray("\x00\x01\xff\xfe<\x02>", 7));
    QTest::newRow("crossed tags") << QStringLiteral(
        "<login><user-status><message type=\"info\"><text>t</message>"
        "</text></user-status></login>");
    QTest::newRow("end before start") << QStringLiteral("</login><login>");
    QTest::newRow("two roots") << QStringLiteral(
        "<login/><login><settings><gq mode=\"2\"/></settings></login>");
    QTest::newRow("elements where text belongs") << QStringLiteral(
        "<login><geoip><address><b>1</b></address></geoip><user-status><vpn-resources>"
        "<vpn-resource key=\"k\"><x/></vpn-resource></vpn-resources><message><text><i>t</i></text>"
        "</message></user-status></login>");
    QTest::newRow("answers inside each other")
        << QStringLiteral("<user-status><user-status><message><message><link type=\"order\"><link/></link>"
                          "</message></message><row><row/></row></user-status></user-status>");
    QTest::newRow("link outside message")
        << QStringLiteral("<status><link type=\"order\"/><message/></status>");
    QTest::newRow("deep nesting") << nested(QStringLiteral("x"), 20000, QStringLiteral("<geoip/>"));
    QTest::newRow("deep messages") << QStringLiteral("<user-status>")
            + nested(QStringLiteral("message"), 5000, QString()) + QStringLiteral("</user-status>");
    QTest::newRow("deep rows") << QStringLiteral("<user-status>")
            + nested(QStringLiteral("row"), 5000, QString()) + QStringLiteral("</user-status>");
    QTest::newRow("unclosed everything")
        << QStringLiteral("<login><user-status><message><link type=\"order\">"
                          "<vpn-servers><vpn-server><location><coord");
    QTest::newRow("entity expansion") << QStringLiteral(
        "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
        "]><login><geoip><address>&g;</address></geoip><url>&g;</url></login>");
    QTest::newRow("long text") << QStringLiteral("<answer><url>") + QString(1 << 20, QLatin1Char('x'))
            + QStringLiteral("</url><geoip><isp>") + QString(1 << 20, QLatin1Char('y'))
            + QStringLiteral("</isp></geoip></answer>");
    QTest::newRow("many elements") << QStringLiteral("<vpn-servers>")
            + QStringLiteral("<vpn-server uid=\"a\"><country code=\"usa\">x</country></vpn-server>")
                  .repeated(20000)
            + QStringLiteral("</vpn-servers>");
}

void TestMalformedAnswers::malformed()
{
    QFETCH(QString, xml);

    // None of them may crash or hang, whichever request it answers.
    QElapsedTimer timer;
    timer.start();
    for (const QString &kind : kinds) {
        const std::unique_ptr<Request> request = makeRequest(kind);
        ApiTest::readAnswer(*request, xml);
    }
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
}

void TestMalformedAnswers::hugeNumbers()
{
    const QString huge = QStringLiteral("999999999999999999999999999999");
    LoginRequest login;
    QVERIFY(ApiTest::readAnswer(login,
        QStringLiteral("<login><user-status update-interval=\"%1\" timestamp=\"%1\">"
                       "<payment-notification lock-secs=\"-%1\"/><vpn-resources>"
                       "<vpn-resource key=\"k\" provider=\"%1\"/></vpn-resources></user-status>"
                       "<geoip><coord lng=\"%1\" lat=\"-%1\" alt=\"%1e300\"/></geoip>"
                       "<addresses><address port=\"%1\">a</address></addresses></login>")
            .arg(huge)));
    const UserStatus status = login.userStatus();
    QCOMPARE(status.updateInterval(), 0);
    QCOMPARE(status.timestamp(), qint64(0));
    QCOMPARE(status.paymentNotification().lockSecs(), 0);
    QCOMPARE(status.vpnResources().size(), 1);
    QCOMPARE(status.vpnResources().first().provider(), 0);
    QCOMPARE(login.addresses().size(), 1);
    QCOMPARE(login.addresses().first().port(), quint16(0));
    QVERIFY(QRect(0, 0, 361, 181).contains(login.geoIp().coord().toMapPoint(360, 180)));

    VpnServersRequest servers;
    QVERIFY(ApiTest::readAnswer(servers,
        QStringLiteral("<vpn-servers><vpn-server uid=\"a\" capacity=\"%1\" "
                       "capacity-indicator=\"%1\" provider=\"%1\"><stealth port=\"%1\"/>"
                       "<check result=\"%1\"/></vpn-server></vpn-servers>")
            .arg(huge)));
    QCOMPARE(servers.servers().size(), 1);
    const VpnServer server = servers.servers().first();
    QCOMPARE(server.capacity(), VpnServer::UnknownCapacity);
    QCOMPARE(server.capacityIndicator(), VpnServer::UnknownCapacity);
    QCOMPARE(server.provider(), 0);
    QCOMPARE(server.stealthPort(), quint16(0));
    QCOMPARE(server.checkResult(), 0);

    VariablesRequest variables;
    QVERIFY(ApiTest::readAnswer(variables,
        QStringLiteral("<variables><prefs><int name=\"i\">%1</int></prefs>"
                       "</variables>")
            .arg(huge)));
    QCOMPARE(variables.prefs().value(QStringLiteral("i")), QVariant(0));
}

NOXEL_API_TEST_MAIN(TestMalformedAnswers)

#include "tst_malformedanswers.moc"
