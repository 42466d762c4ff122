#include "apitest.h"

#include "anonymousloginrequest.h"
#include "checkoutstatusrequest.h"
#include "createticketrequest.h"
#include "errorreportrequest.h"
#include "geoiprequest.h"
#include "logincheckrequest.h"
#include "loginrequest.h"
#include "winutils.h"
#include "statusrequest.h"
#include "trialrequest.h"
#include "urlrequest.h"
#include "variablesrequest.h"
#include "vpnaccount.h"
#include "vpnconfiguration.h"
#include "vpnserversrequest.h"

#include <QMap>
#include <QSharedPointer>
#include <QTest>
#include <QXmlStreamReader>

using RequestPointer = QSharedPointer<Request>;
Q_DECLARE_METATYPE(RequestPointer)
using Parameters = QMap<QString, QString>;

namespace {

RequestPointer statusRequest(bool withVariables)
{
    QSharedPointer<StatusRequest> request(new StatusRequest);
    request->setIncludeVariables(withVariables);
    return request;
}

RequestPointer geoIpRequest(bool mode, bool withConfiguration, bool withServer, int state)
{
    QSharedPointer<GeoIpRequest> request(new GeoIpRequest);
    request->setGeoIpMode(mode);
    request->setState(state);
    request->setConnectionIndex(12);
    if (withConfiguration) {
        VpnAccount account;
        account.setUsername(QStringLiteral("vpnuser"));
        request->setConfiguration(VpnConfiguration::fromAccount(account));
    }
    if (withServer) {
        VpnServer server;
        server.setUid(QStringLiteral("de-fra-01"));
        request->setServer(server);
    }
    return request;
}

RequestPointer ticket(const QString &email, const QString &subject, const QString &message,
    const QString &log, const QString &details)
{
    QSharedPointer<CreateTicketRequest> request(new CreateTicketRequest(email, subject, message));
    request->setLog(log);
    request->setSystemDetails(details);
    return request;
}

RequestPointer errorReport(const ErrorReport &report)
{
    QSharedPointer<ErrorReportRequest> request(new ErrorReportRequest);
    request->setReport(report);
    return request;
}

ErrorReport report(qint64 serverId, const QString &message, const QList<ErrorReportItem> &items)
{
    ErrorReport report;
    report.setServerId(serverId);
    report.setServerName(QStringLiteral("Frankfurt #1"));
    report.setMessage(message);
    report.setItems(items);
    return report;
}

} // namespace

class TestRequestBodies : public QObject
{
    Q_OBJECT

private slots:
    void body_data();
    void body();
    void trial_data();
    void trial();
    void urlParameters_data();
    void urlParameters();
    void requiresLogin_data();
    void requiresLogin();
};

void TestRequestBodies::body_data()
{
    QTest::addColumn<RequestPointer>("request");
    QTest::addColumn<QString>("body");

    QTest::newRow("login") << RequestPointer(new LoginRequest) << QStringLiteral("login");
    QTest::newRow("anonymous") << RequestPointer(new AnonymousLoginRequest) << QStringLiteral("anonymous");
    QTest::newRow("login check") << RequestPointer(new LoginCheckRequest) << QStringLiteral("login-check");
    QTest::newRow("variables") << RequestPointer(new VariablesRequest) << QStringLiteral("variables");
    QTest::newRow("vpn servers") << RequestPointer(new VpnServersRequest) << QStringLiteral("vpn-servers");
    QTest::newRow("status") << statusRequest(false) << QStringLiteral("status");
    QTest::newRow("status with variables") << statusRequest(true) << QStringLiteral("status[variables=true]");
    QTest::newRow("checkout status") << RequestPointer(new CheckoutStatusRequest(QStringLiteral("chk-42")))
                                     << QStringLiteral("checkout-status[uid=chk-42]");
    QTest::newRow("checkout status, no uid")
        << RequestPointer(new CheckoutStatusRequest(QString())) << QStringLiteral("checkout-status");

    QTest::newRow("geoip, all three")
        << geoIpRequest(true, true, true, 3) << QStringLiteral("geoip[s=3 uid=de-fra-01]");
    QTest::newRow("geoip, mode off") << geoIpRequest(false, true, true, 3) << QStringLiteral("geoip[s=3]");
    QTest::newRow("geoip, no configuration")
        << geoIpRequest(true, false, true, 0) << QStringLiteral("geoip[s=0]");
    QTest::newRow("geoip, no server") << geoIpRequest(true, true, false, 5) << QStringLiteral("geoip[s=5]");
    QTest::newRow("geoip, nothing") << geoIpRequest(false, false, false, 0) << QStringLiteral("geoip[s=0]");

    QTest::newRow("url, no parameters") << RequestPointer(new UrlRequest(QStringLiteral("account"), {}))
                                        << QStringLiteral("url[key=account]");
    QTest::newRow("url, one parameter") << RequestPointer(
        new UrlRequest(QStringLiteral("order"), { { QStringLiteral("plan"), QStringLiteral("1y & more") } }))
                                        << QStringLiteral("url[key=order](param[name=plan]('1y & more'))");

    const QString email = QStringLiteral("user@example.org");
    QTest::newRow("ticket, everything")
        << ticket(email, QStringLiteral("No connection"), QStringLiteral("It fails."),
               QStringLiteral("log line"), QStringLiteral("OS: Debian"))
        << QStringLiteral(
               "create-ticket(email('user@example.org') subject('No connection') message({It fails.}) "
               "log({log line}) system-details({OS: Debian}))");
    QTest::newRow("ticket, message only") << ticket(QString(), QString(), QStringLiteral("Hello"), QString(),
        QString()) << QStringLiteral("create-ticket(message({Hello}))");
    QTest::newRow("ticket, nothing") << ticket(QString(), QString(), QString(), QString(), QString())
                                     << QStringLiteral("create-ticket");
    QTest::newRow("ticket, no message")
        << ticket(email, QStringLiteral("Subject"), QString(), QString(), QStringLiteral("details"))
        << QStringLiteral(
               "create-ticket(email('user@example.org') subject('Subject') system-details({details}))");
    QTest::newRow("ticket, log with colours and a CDATA end") << ticket(QString(), QString(),
        QStringLiteral("a ]]> b"), QStringLiteral("\x1b[1mbold\x1b[0m\x01\x7f"),
        QString()) << QStringLiteral("create-ticket(message({a ]]> b}) log({[1mbold[0m\x7f}))");

    ErrorReportItem nullItem;
    QTest::newRow("error report, null") << errorReport(ErrorReport()) << QStringLiteral("error-report");
    QTest::newRow("error report, no items")
        << errorReport(report(17, QStringLiteral("Connection refused"), {}))
        << QStringLiteral("error-report(server[server-id=17] message({Connection refused}))");
    QTest::newRow("error report, message with control characters")
        << errorReport(report(0, QStringLiteral("\x1b[0mfailed\x01"), {}))
        << QStringLiteral("error-report(server[server-id=0] message({[0mfailed}))");
    QTest::newRow("error report, encodings")
        << errorReport(report(4711, QStringLiteral("m"),
               { ErrorReportItem(
                     QStringLiteral("dump"), QStringLiteral("base64"), QByteArray("\x00\xff\x10\x80", 4)),
                   ErrorReportItem(
                       QStringLiteral("latin"), QStringLiteral("ISO-8859-1"), QByteArray("caf\xe9\x01")),
                   ErrorReportItem(
                       QStringLiteral("utf8"), QStringLiteral("UTF-8"), QByteArray("caf\xc3\xa9\x1b[0m")),
                   ErrorReportItem(
                       QStringLiteral("other"), QStringLiteral("x-unknown"), QByteArray("\xe2\x82\xac")) }))
        << QStringLiteral("error-report(server[server-id=4711] message({m}) items("
                          "item(name('dump') data[encoding=base64]({AP8QgA==})) "
                          "item(name('latin') data[encoding=ISO-8859-1]({caf\u00e9})) "
                          "item(name('utf8') data[encoding=UTF-8]({caf\u00e9[0m})) "
                          "item(name('other') data[encoding=x-unknown]({\u20ac}))))");
    QTest::newRow("error report, empty data and a null item")
        << errorReport(report(1, QStringLiteral("m"),
               { ErrorReportItem(QStringLiteral("empty"), QStringLiteral("UTF-8"), QByteArray()), nullItem,
                   ErrorReportItem(QStringLiteral("log"), QStringLiteral("UTF-8"), QByteArray("x")) }))
        << QStringLiteral("error-report(server[server-id=1] message({m}) items(item(name('empty')) "
                          "item(name('log') data[encoding=UTF-8]({x}))))");
}

void TestRequestBodies::body()
{
    QFETCH(RequestPointer, request);
    QFETCH(QString, body);

    QVERIFY(ApiTest::isWellFormed(ApiTest::envelope(*request)));
    QCOMPARE(ApiTest::body(*request), body);
}

void TestRequestBodies::trial_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("uuid");

    QTest::newRow("with email") << QStringLiteral("new@example.org") << QStringLiteral("6f1c2a7e-uuid");
    QTest::newRow("without email") << QString() << QStringLiteral("0b9d-uuid");
}

void TestRequestBodies::trial()
{
    QFETCH(QString, email);
    QFETCH(QString, uuid);

    TrialRequest request(uuid);
    request.setEmail(email);

    // One identifier per network card of this machine, then the installation's.
    QStringList identifiers;
    const QStringList addresses = WinUtils::hardwareAddresses();
    for (const QString &address : addresses)
        identifiers << QStringLiteral("identifier[type=eth-mac]('%1')").arg(address);
    identifiers << QStringLiteral("identifier[type=uuid]('%1')").arg(uuid);
    const QString emailElement = email.isEmpty() ? QString() : QStringLiteral("email('%1') ").arg(email);

    QVERIFY(ApiTest::isWellFormed(ApiTest::envelope(request)));
    QCOMPARE(ApiTest::body(request),
        QStringLiteral("trial(%1identifiers(%2))").arg(emailElement, identifiers.join(QLatin1Char(' '))));
}

void TestRequestBodies::urlParameters_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<Parameters>("params");

    QTest::newRow("none") << QStringLiteral("account") << Parameters();
    QTest::newRow("three") << QStringLiteral("order")
                           << Parameters({ { QStringLiteral("plan"), QStringLiteral("12m") },
                                  { QStringLiteral("coupon"), QStringLiteral("<SPRING>") },
                                  { QStringLiteral("empty"), QString() } });
}

void TestRequestBodies::urlParameters()
{
    QFETCH(QString, key);
    QFETCH(Parameters, params);

    QHash<QString, QString> hash;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        hash.insert(it.key(), it.value());
    UrlRequest request(key, hash);
    const QByteArray xml = ApiTest::envelope(request);
    QVERIFY(ApiTest::isWellFormed(xml));

    QXmlStreamReader reader(xml);
    while (!reader.atEnd() && !(reader.isStartElement() && reader.name() == QLatin1String("url")))
        reader.readNext();
    QCOMPARE(reader.attributes().value(QLatin1String("key")).toString(), key);
    Parameters written;
    while (reader.readNextStartElement()) {
        QCOMPARE(reader.name(), QLatin1String("param"));
        const QString name = reader.attributes().value(QLatin1String("name")).toString();
        QVERIFY2(!written.contains(name), qPrintable(name));
        written.insert(name, reader.readElementText());
    }
    QCOMPARE(written, params);
}

void TestRequestBodies::requiresLogin_data()
{
    QTest::addColumn<RequestPointer>("request");
    QTest::addColumn<bool>("requiresLogin");

    QTest::newRow("variables") << RequestPointer(new VariablesRequest) << false;
    QTest::newRow("geoip") << RequestPointer(new GeoIpRequest) << false;
    QTest::newRow("checkout status") << RequestPointer(new CheckoutStatusRequest(QStringLiteral("c")))
                                     << false;
    QTest::newRow("status") << statusRequest(false) << true;
    QTest::newRow("status with variables") << statusRequest(true) << true;
    QTest::newRow("login") << RequestPointer(new LoginRequest) << true;
    QTest::newRow("anonymous") << RequestPointer(new AnonymousLoginRequest) << true;
    QTest::newRow("login check") << RequestPointer(new LoginCheckRequest) << true;
    QTest::newRow("trial") << RequestPointer(new TrialRequest(QStringLiteral("u"))) << true;
    QTest::newRow("vpn servers") << RequestPointer(new VpnServersRequest) << true;
    QTest::newRow("url") << RequestPointer(new UrlRequest(QStringLiteral("k"), {})) << true;
    QTest::newRow("create ticket") << ticket(QString(), QString(), QString(), QString(), QString()) << true;
    QTest::newRow("error report") << RequestPointer(new ErrorReportRequest) << true;
}

void TestRequestBodies::requiresLogin()
{
    QFETCH(RequestPointer, request);
    QFETCH(bool, requiresLogin);

    QCOMPARE(request->requiresLogin(), requiresLogin);
}

NOXEL_API_TEST_MAIN(TestRequestBodies)

#include "tst_requestbodies.moc"
