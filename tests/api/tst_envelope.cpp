#include "apitest.h"

#include "anonymousloginrequest.h"
#include "checkoutstatusrequest.h"
#include "credentials.h"
#include "envelope.h"
#include "geoiprequest.h"
#include "logincheckrequest.h"
#include "loginrequest.h"
#include "statusrequest.h"
#include "trialrequest.h"
#include "variablesrequest.h"
#include "vpnserversrequest.h"

#include <QRegularExpression>
#include <QSharedPointer>
#include <QTest>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <ctime>

using RequestPointer = QSharedPointer<Request>;
Q_DECLARE_METATYPE(RequestPointer)

namespace {

// A null string for "not set", so that a table tells absent from empty.
const QString Absent;

Credentials credentials(const QString &username, const QString &password)
{
    Credentials stored;
    stored.setUsername(username);
    stored.setPassword(password);
    return stored;
}

template<typename T>
RequestPointer make(const QString &username = QString(), const QString &password = QString())
{
    QSharedPointer<T> request(new T);
    if (!username.isNull() || !password.isNull())
        request->setCredentials(username, password);
    return request;
}

RequestPointer makeCheckout()
{
    return RequestPointer(new CheckoutStatusRequest(QStringLiteral("chk-1")));
}

RequestPointer makeTrial()
{
    return RequestPointer(new TrialRequest(QStringLiteral("0d6a3c1e-uuid")));
}

// Moves the reader to the first start element called name; false when there is none.
bool find(QXmlStreamReader &reader, const QString &name)
{
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == name)
            return true;
    }
    return false;
}

// The names of the elements right below the reader's current element.
QStringList childNames(QXmlStreamReader &reader)
{
    QStringList names;
    while (reader.readNextStartElement()) {
        names << reader.name().toString();
        reader.skipCurrentElement();
    }
    return names;
}

} // namespace

class TestEnvelope : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void structure();
    void header_data();
    void header();
    void login_data();
    void login();
    void passwordDigest_data();
    void passwordDigest();
    void id_data();
    void id();
    void stats_data();
    void stats();
    void statsInBodies_data();
    void statsInBodies();
    void statsLayout_data();
    void statsLayout();
};

void TestEnvelope::initTestCase()
{
    // Traffic statistics carry local midnights: a fixed zone makes them known numbers.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QCOMPARE(QDateTime(QDate(2024, 1, 1), QTime(0, 0)).offsetFromUtc(), 3600);
}

void TestEnvelope::structure()
{
    LoginRequest request;
    const QByteArray xml = ApiTest::envelope(request, 7);
    QVERIFY(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));

    QXmlStreamReader reader(xml);
    QVERIFY(reader.readNextStartElement());
    QCOMPARE(reader.name(), QLatin1String("request"));
    QCOMPARE(childNames(reader), QStringList({ QStringLiteral("header"), QStringLiteral("body") }));
    QVERIFY(!reader.hasError());
}

void TestEnvelope::header_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("country");
    QTest::addColumn<int>("utcOffset");
    QTest::addColumn<double>("dpr");
    QTest::addColumn<bool>("debug");
    QTest::addColumn<QString>("cpu");
    QTest::addColumn<QString>("attributes");
    QTest::addColumn<QStringList>("children");

    const QString platform = QStringLiteral("platform");
    const QString cpu = QStringLiteral("cpu");
    const QString debug = QStringLiteral("debug");

    QTest::newRow("with country")
        << QStringLiteral("de") << QStringLiteral("DE") << 60 << 1.0 << false << QStringLiteral("Test CPU")
        << QStringLiteral(
               "language=de country=DE utc-offset=60 platform=linux arch=generic_64bit version=2.3.1 dpr=1")
        << QStringList({ platform, cpu });
    QTest::newRow("without country")
        << QStringLiteral("en") << QString() << -300 << 1.0 << false << QStringLiteral("Test CPU")
        << QStringLiteral("language=en utc-offset=-300 platform=linux arch=generic_64bit version=2.3.1 dpr=1")
        << QStringList({ platform, cpu });
    QTest::newRow("dpr 1.25, debug")
        << QStringLiteral("en") << QStringLiteral("US") << 0 << 1.25 << true << QStringLiteral("Test CPU")
        << QStringLiteral(
               "language=en country=US utc-offset=0 platform=linux arch=generic_64bit version=2.3.1 dpr=1.25")
        << QStringList({ debug, platform, cpu });
    QTest::newRow("dpr 1.5") << QStringLiteral("fr") << QStringLiteral("FR") << 120 << 1.5 << false
                             << QStringLiteral("Test CPU")
                             << QStringLiteral("language=fr country=FR utc-offset=120 platform=linux "
                                               "arch=generic_64bit version=2.3.1 dpr=1.5")
                             << QStringList({ platform, cpu });
    QTest::newRow("dpr 2, six digits of a third")
        << QStringLiteral("en") << QString() << 330 << 4.0 / 3 << false << QStringLiteral("Test CPU")
        << QStringLiteral(
               "language=en utc-offset=330 platform=linux arch=generic_64bit version=2.3.1 dpr=1.33333")
        << QStringList({ platform, cpu });
    QTest::newRow("empty cpu is still written")
        << QStringLiteral("en") << QString() << 0 << 2.0 << true << QString()
        << QStringLiteral("language=en utc-offset=0 platform=linux arch=generic_64bit version=2.3.1 dpr=2")
        << QStringList({ debug, platform, cpu });
}

void TestEnvelope::header()
{
    QFETCH(QString, language);
    QFETCH(QString, country);
    QFETCH(int, utcOffset);
    QFETCH(double, dpr);
    QFETCH(bool, debug);
    QFETCH(QString, cpu);
    QFETCH(QString, attributes);
    QFETCH(QStringList, children);

    Envelope::Header header = ApiTest::header();
    header.language = language;
    header.country = country;
    header.utcOffsetMinutes = utcOffset;
    header.devicePixelRatio = dpr;
    header.debug = debug;
    header.cpu = cpu;
    // Needs no login and has no stored credentials: no login element.
    VariablesRequest request;
    const QByteArray xml = ApiTest::envelope(request, 1, header);
    QVERIFY(ApiTest::isWellFormed(xml));

    QXmlStreamReader reader(xml);
    QVERIFY(find(reader, QStringLiteral("header")));
    QStringList written;
    const QXmlStreamAttributes headerAttributes = reader.attributes();
    for (const QXmlStreamAttribute &attribute : headerAttributes)
        written << attribute.name().toString() + QLatin1Char('=') + attribute.value().toString();
    QCOMPARE(written.join(QLatin1Char(' ')), attributes);
    QCOMPARE(childNames(reader), children);

    QXmlStreamReader texts(xml);
    QVERIFY(find(texts, QStringLiteral("header")));
    QVERIFY(find(texts, QStringLiteral("platform")));
    QCOMPARE(texts.readElementText(), header.osName);
    QVERIFY(find(texts, QStringLiteral("cpu")));
    QCOMPARE(texts.readElementText(), cpu);
    if (debug) {
        QXmlStreamReader empty(xml);
        QVERIFY(find(empty, QStringLiteral("debug")));
        QVERIFY(empty.attributes().isEmpty());
        QCOMPARE(empty.readElementText(), QString());
    }
}

void TestEnvelope::login_data()
{
    QTest::addColumn<RequestPointer>("request");
    QTest::addColumn<Credentials>("stored");
    QTest::addColumn<bool>("hasLogin");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("digest");

    const Credentials none;
    const Credentials alice = credentials(QStringLiteral("alice"), QStringLiteral("correct-horse-battery"));
    const QString aliceDigest = QStringLiteral("f97979ff44a9a1a4105f4bae6fe809715e0a0a84");
    const QString bob = QStringLiteral("bob");
    const QString bobPassword = QStringLiteral("s3cr3t!");
    const QString bobDigest = QStringLiteral("36b77494f2d8816d4b55f8af3602e7acf63584fa");

    QTest::newRow("variables, nothing stored")
        << make<VariablesRequest>() << none << false << Absent << Absent;
    QTest::newRow("variables, stored")
        << make<VariablesRequest>() << alice << true << QStringLiteral("alice") << aliceDigest;
    QTest::newRow("variables, own only")
        << make<VariablesRequest>(bob, bobPassword) << none << false << Absent << Absent;
    QTest::newRow("geoip, nothing stored") << make<GeoIpRequest>() << none << false << Absent << Absent;
    QTest::newRow("checkout status, nothing stored") << makeCheckout() << none << false << Absent << Absent;
    QTest::newRow("checkout status, stored")
        << makeCheckout() << alice << true << QStringLiteral("alice") << aliceDigest;
    QTest::newRow("status, nothing stored") << make<StatusRequest>() << none << true << Absent << Absent;
    QTest::newRow("vpn servers, nothing stored")
        << make<VpnServersRequest>() << none << true << Absent << Absent;
    QTest::newRow("trial, nothing stored") << makeTrial() << none << true << Absent << Absent;
    QTest::newRow("anonymous, stored")
        << make<AnonymousLoginRequest>() << alice << true << QStringLiteral("alice") << aliceDigest;
    QTest::newRow("login, own beat stored")
        << make<LoginRequest>(bob, bobPassword) << alice << true << bob << bobDigest;
    QTest::newRow("login, own without user name: stored")
        << make<LoginRequest>(QString(QLatin1String("")), bobPassword) << alice << true
        << QStringLiteral("alice") << aliceDigest;
    QTest::newRow("login, own empty password")
        << make<LoginRequest>(bob, QString(QLatin1String(""))) << alice << true << bob << Absent;
    QTest::newRow("login, stored empty password")
        << make<LoginRequest>() << credentials(QStringLiteral("alice"), QString(QLatin1String(""))) << true
        << QStringLiteral("alice") << Absent;
    QTest::newRow("login, stored password only")
        << make<LoginRequest>() << credentials(QString(QLatin1String("")), bobPassword) << true << Absent
        << bobDigest;
    QTest::newRow("login check, own non-ASCII password")
        << make<LoginCheckRequest>(QStringLiteral("carol"), QStringLiteral("p\u00e4ssw\u00f6rd")) << none
        << true << QStringLiteral("carol") << QStringLiteral("f517ddf1d32a112ff1ad55c66d1b12cb38e7e8f7");
}

void TestEnvelope::login()
{
    QFETCH(RequestPointer, request);
    QFETCH(Credentials, stored);
    QFETCH(bool, hasLogin);
    QFETCH(QString, username);
    QFETCH(QString, digest);

    Envelope::Header header = ApiTest::header();
    header.storedCredentials = stored;
    const QByteArray xml = ApiTest::envelope(*request, 1, header);
    QVERIFY(ApiTest::isWellFormed(xml));

    // Passwords never travel in clear, whichever were used.
    for (const QString &password : { stored.password(), request->password() }) {
        if (!password.isEmpty())
            QVERIFY2(!xml.contains(password.toUtf8()), xml.constData());
    }

    QXmlStreamReader reader(xml);
    QVERIFY(find(reader, QStringLiteral("header")));
    QCOMPARE(childNames(reader).contains(QStringLiteral("login")), hasLogin);
    if (!hasLogin)
        return;

    QXmlStreamReader login(xml);
    QVERIFY(find(login, QStringLiteral("login")));
    const QXmlStreamAttributes attributes = login.attributes();
    QCOMPARE(attributes.hasAttribute(QLatin1String("username")), !username.isNull());
    QCOMPARE(
        attributes.value(QLatin1String("username")).toString(), username.isNull() ? QString() : username);
    QCOMPARE(attributes.hasAttribute(QLatin1String("password")), !digest.isNull());
    QCOMPARE(attributes.value(QLatin1String("password")).toString(), digest.isNull() ? QString() : digest);
}

void TestEnvelope::passwordDigest_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("digest");

    QTest::newRow("empty") << QString() << QStringLiteral("da39a3ee5e6b4b0d3255bfef95601890afd80709");
    QTest::newRow("abc") << QStringLiteral("abc")
                         << QStringLiteral("a9993e364706816aba3e25717850c26c9cd0d89d");
    QTest::newRow("UTF-8 bytes") << QStringLiteral("p\u00e4ssw\u00f6rd")
                                 << QStringLiteral("f517ddf1d32a112ff1ad55c66d1b12cb38e7e8f7");
    QTest::newRow("upper case input")
        << QStringLiteral("ABC") << QStringLiteral("3c01bdbb26f358bab27f267924aa2c9a03fcfdb8");
}

void TestEnvelope::passwordDigest()
{
    QFETCH(QString, password);
    QFETCH(QString, digest);

    const QString written = Envelope::passwordDigest(password);
    QCOMPARE(written, digest);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{40}$")).match(written).hasMatch());
}

void TestEnvelope::id_data()
{
    QTest::addColumn<qint64>("id");
    QTest::addColumn<QString>("text");

    QTest::newRow("first") << qint64(1) << QStringLiteral("1");
    QTest::newRow("second") << qint64(2) << QStringLiteral("2");
    QTest::newRow("beyond 32 bits") << qint64(4294967296LL) << QStringLiteral("4294967296");
    QTest::newRow("largest") << std::numeric_limits<qint64>::max() << QStringLiteral("9223372036854775807");
}

void TestEnvelope::id()
{
    QFETCH(qint64, id);
    QFETCH(QString, text);

    // The same request twice: each envelope carries the id it was given.
    LoginRequest request;
    for (const qint64 written : { id, id - 1 }) {
        QXmlStreamReader reader(ApiTest::envelope(request, written));
        QVERIFY(reader.readNextStartElement());
        QCOMPARE(reader.attributes().value(QLatin1String("id")).toString(), QString::number(written));
    }
    QXmlStreamReader reader(ApiTest::envelope(request, id));
    QVERIFY(reader.readNextStartElement());
    QCOMPARE(reader.attributes().value(QLatin1String("id")).toString(), text);
}

void TestEnvelope::stats_data()
{
    QTest::addColumn<QList<ConnectionStat>>("stats");
    QTest::addColumn<QList<TrafficStat>>("traffic");
    QTest::addColumn<QString>("body");

    ConnectionStat connected;
    connected.setServerUid(QStringLiteral("de-fra-01"));
    connected.setElevated(true);
    connected.setProtocol(Vpn::OpenVpnUdp);
    connected.setStatus(ConnectionStat::Connected);
    connected.setPing(35);
    connected.setCapacity(80);
    connected.setTimestamp(1700000000);
    connected.setText(QStringLiteral("not sent when connected"));

    ConnectionStat refused;
    refused.setServerUid(QStringLiteral("nl-ams-02"));
    refused.setProtocol(Vpn::OpenVpnStealth);
    refused.setStatus(ConnectionStat::Refused);
    refused.setTimestamp(1700000100);
    refused.setText(QStringLiteral("AUTH_FAILED"));

    // An OpenVPN log with terminal colours and a stray control byte.
    ConnectionStat noisy = refused;
    noisy.setProtocol(Vpn::L2tp);
    noisy.setStatus(ConnectionStat::Failed);
    noisy.setText(QStringLiteral("\x1b[31mTLS error\x1b[0m\x01\x02 <&> \u00e9\ttab"));

    TrafficStat springForward;
    springForward.setDate(QDate(2024, 3, 31));
    springForward.setServerUid(QStringLiteral("de-fra-01"));
    springForward.setProtocol(Vpn::OpenVpnTcp);
    springForward.setUp(1024);
    springForward.setDown(5000000000LL);

    TrafficStat summer;
    summer.setDate(QDate(2023, 7, 1));
    summer.setServerUid(QStringLiteral("us-nyc-03"));
    summer.setProtocol(Vpn::Pptp);

    const QString connectedStat
        = QStringLiteral("stat[c=80 e=1 l=35 p=ovpn_udp s=0 suid=de-fra-01 t=1700000000]");
    const QString refusedStat
        = QStringLiteral("stat[c=-1 e=0 l=-1 p=ovpn_stealth s=1 suid=nl-ams-02 t=1700000100]({AUTH_FAILED})");

    QTest::newRow("none") << QList<ConnectionStat>() << QList<TrafficStat>() << QStringLiteral("login");
    QTest::newRow("connected: no text") << QList<ConnectionStat>({ connected }) << QList<TrafficStat>()
                                        << QStringLiteral("login(stats(%1))").arg(connectedStat);
    QTest::newRow("refused: text") << QList<ConnectionStat>({ refused }) << QList<TrafficStat>()
                                   << QStringLiteral("login(stats(%1))").arg(refusedStat);
    QTest::newRow("control characters stripped")
        << QList<ConnectionStat>({ noisy }) << QList<TrafficStat>()
        << QStringLiteral("login(stats(stat[c=-1 e=0 l=-1 p=l2tp s=4 suid=nl-ams-02 t=1700000100]"
                          "({[31mTLS error[0m <&> \u00e9\ttab})))");
    QTest::newRow("two in order") << QList<ConnectionStat>({ refused, connected }) << QList<TrafficStat>()
                                  << QStringLiteral("login(stats(%1 %2))").arg(refusedStat, connectedStat);
    // Local midnight in Europe/Berlin, on a day the clocks go forward.
    QTest::newRow("traffic") << QList<ConnectionStat>() << QList<TrafficStat>({ springForward, summer })
                             << QStringLiteral("login(tstats(tstat[d=5000000000 p=ovpn_tcp suid=de-fra-01 "
                                               "t=1711839600 u=1024] tstat[d=0 p=pptp suid=us-nyc-03 "
                                               "t=1688162400 u=0]))");
    QTest::newRow("both") << QList<ConnectionStat>({ connected }) << QList<TrafficStat>({ summer })
                          << QStringLiteral("login(stats(%1) tstats(tstat[d=0 p=pptp suid=us-nyc-03 "
                                            "t=1688162400 u=0]))")
                                 .arg(connectedStat);
}

void TestEnvelope::stats()
{
    QFETCH(QList<ConnectionStat>, stats);
    QFETCH(QList<TrafficStat>, traffic);
    QFETCH(QString, body);

    LoginRequest request;
    request.setStats(stats);
    request.setTrafficStats(traffic);
    QVERIFY(ApiTest::isWellFormed(ApiTest::envelope(request)));
    QCOMPARE(ApiTest::body(request), body);
}

void TestEnvelope::statsInBodies_data()
{
    QTest::addColumn<RequestPointer>("request");
    QTest::addColumn<QString>("element");

    QSharedPointer<StatusRequest> withVariables(new StatusRequest);
    withVariables->setIncludeVariables(true);

    QTest::newRow("login") << make<LoginRequest>() << QStringLiteral("login");
    QTest::newRow("anonymous") << make<AnonymousLoginRequest>() << QStringLiteral("anonymous");
    QTest::newRow("status") << make<StatusRequest>() << QStringLiteral("status");
    QTest::newRow("status with variables")
        << RequestPointer(withVariables) << QStringLiteral("status[variables=true]");
}

void TestEnvelope::statsInBodies()
{
    QFETCH(RequestPointer, request);
    QFETCH(QString, element);

    QCOMPARE(ApiTest::body(*request), element);

    ConnectionStat stat;
    stat.setServerUid(QStringLiteral("se-sto-01"));
    stat.setStatus(ConnectionStat::TimedOut);
    stat.setText(QStringLiteral("\x1b[0mtimeout\x1b[0m"));
    TrafficStat traffic;
    traffic.setDate(QDate(1970, 1, 1));
    traffic.setServerUid(QStringLiteral("se-sto-01"));
    request->setStats({ stat });
    request->setTrafficStats({ traffic });
    QVERIFY(ApiTest::isWellFormed(ApiTest::envelope(*request)));
    QCOMPARE(ApiTest::body(*request),
        element
            + QStringLiteral("(stats(stat[c=-1 e=0 l=-1 p=ovpn_udp s=2 suid=se-sto-01 t=0]({[0mtimeout[0m})) "
                             "tstats(tstat[d=0 p=ovpn_udp suid=se-sto-01 t=-3600 u=0]))"));
}

void TestEnvelope::statsLayout_data()
{
    QTest::addColumn<QString>("uid");
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    // The uid as the provider reads it back.
    QTest::addColumn<QString>("uidAsRead");

    QTest::newRow("plain") << QStringLiteral("de-fra-01") << int(Vpn::OpenVpnUdp)
                           << int(ConnectionStat::Connected) << QString() << QStringLiteral("de-fra-01");
    QTest::newRow("markup characters")
        << QStringLiteral("a<b>&\"c'") << int(Vpn::L2tp) << int(ConnectionStat::TimedOut)
        << QStringLiteral("x < y & z > \"q\"") << QStringLiteral("a<b>&\"c'");
    QTest::newRow("line ends and tab")
        << QStringLiteral("a\tb\nc\rd") << int(Vpn::Pptp) << int(ConnectionStat::Refused)
        << QStringLiteral("one\r\ntwo\tthree") << QStringLiteral("a\tb\nc\rd");
    QTest::newRow("beyond ASCII") << QStringLiteral("m\u00fcller-\u65e5\u672c") << int(Vpn::OpenVpnStealth)
                                  << int(ConnectionStat::Broken)
                                  << QStringLiteral("Gr\u00fc\u00dfe \U0001F600")
                                  << QStringLiteral("m\u00fcller-\u65e5\u672c");
    QTest::newRow("end of CDATA in the text")
        << QStringLiteral("x") << int(Vpn::OpenVpnTcp) << int(ConnectionStat::Failed)
        << QStringLiteral("a]]>b]]]>c]]>") << QStringLiteral("x");
    QTest::newRow("empty uid, unknown protocol") << QString() << 9 << -7 << QStringLiteral("t") << QString();
    // Characters XML cannot carry are left out, as in the text, rather than break the envelope.
    QTest::newRow("characters XML cannot carry")
        << QStringLiteral("a") + QChar(0x1) + QStringLiteral("b") + QChar(0xd800) + QStringLiteral("c")
            + QChar(0xffff)
        << int(Vpn::OpenVpnUdp) << int(ConnectionStat::Connected) << QString() << QStringLiteral("abc");
}

void TestEnvelope::statsLayout()
{
    QFETCH(QString, uid);
    QFETCH(int, protocol);
    QFETCH(int, status);
    QFETCH(QString, text);
    QFETCH(QString, uidAsRead);

    ConnectionStat neighbour;
    neighbour.setServerUid(QStringLiteral("nl-ams-02"));
    neighbour.setStatus(ConnectionStat::Connected);
    neighbour.setPing(12);
    neighbour.setCapacity(40);
    neighbour.setTimestamp(1700000000);
    ConnectionStat stat;
    stat.setServerUid(uid);
    stat.setProtocol(Vpn::Protocol(protocol));
    stat.setElevated(true);
    stat.setStatus(status);
    stat.setPing(-1);
    stat.setCapacity(65535);
    stat.setTimestamp(-5);
    stat.setText(text);
    LoginRequest request;
    request.setStats({ neighbour, stat, neighbour });
    const QByteArray envelope = ApiTest::envelope(request);
    QVERIFY(ApiTest::isWellFormed(envelope));

    QXmlStreamReader reader(envelope);
    QVERIFY(find(reader, QStringLiteral("stat")));
    QVERIFY(find(reader, QStringLiteral("stat")));
    QCOMPARE(reader.attributes().value(QLatin1String("suid")).toString(), uidAsRead);

    // Nothing left out: the body is to the byte what QXmlStreamWriter writes when
    // given the statistics one call at a time.
    if (uidAsRead == uid) {
        QString expected;
        QXmlStreamWriter writer(&expected);
        writer.setAutoFormatting(true);
        writer.writeStartElement(QStringLiteral("request"));
        writer.writeStartElement(QStringLiteral("body"));
        request.writeBody(writer);
        writer.writeEndDocument();
        const QString written = QString::fromUtf8(envelope);
        const QString body = QStringLiteral("\n    <body>");
        QVERIFY(written.contains(body));
        QCOMPARE(written.mid(written.indexOf(body)), expected.mid(expected.indexOf(body)));
    }
}

NOXEL_API_TEST_MAIN(TestEnvelope)

#include "tst_envelope.moc"
