#include "core.h"
#include "logmanager.h"
#include "rasvpn.h"
#include "testhome.h"

#include <QApplication>
#include <QDirIterator>
#include <QSaveFile>
#include <QtTest>

#include <cerrno>
#include <memory>
#include <signal.h>

// The machine's kernel has no PPP: the dialer runs stand-ins of pppd, pptp, xl2tpd
// and ipsec (tests/ras/standins) from a folder put first on PATH. They report what
// they were given to $NOXEL_FAKE_DIR and are scripted by $NOXEL_FAKE_*.

namespace {

const QString Password = QStringLiteral("Sw0rdf1sh pass#7");
const QString Psk = QStringLiteral("pre shared 42");

VpnServer server(const QString &host = QStringLiteral("vpn.example.net"))
{
    VpnServer server;
    server.setUid(QStringLiteral("de-fra-03"));
    server.setHost(host);
    return server;
}

VpnConfiguration configuration(Vpn::Protocol protocol, const QString &user = QStringLiteral("alice"),
    const QString &password = Password, const QString &psk = Psk)
{
    VpnConfiguration configuration;
    configuration.setProtocol(protocol);
    configuration.setUsername(user);
    configuration.setPassword(password);
    configuration.setPreSharedKey(psk);
    return configuration;
}

QString stateName(VpnConnection::State state)
{
    switch (state) {
    case VpnConnection::Connecting:
        return QStringLiteral("Connecting");
    case VpnConnection::Connected:
        return QStringLiteral("Connected");
    case VpnConnection::Disconnecting:
        return QStringLiteral("Disconnecting");
    case VpnConnection::Disconnected:
        return QStringLiteral("Disconnected");
    }
    return QString();
}

// A core with a RasVpn, and what the RasVpn reported, in order.
struct Session
{
    std::unique_ptr<Core> core = std::make_unique<Core>();
    RasVpn *vpn = new RasVpn(core->logManager(), core.get());
    QStringList events; // state names and "error"
    QString error;
    VpnServer errorServer;
    VpnConfiguration errorConfiguration;
    QList<QPair<qlonglong, qlonglong>> bytes;
    QStringList lines;

    Session()
    {
        QObject::connect(vpn, &RasVpn::stateChanged, vpn,
            [this](VpnConnection::State state) { events << stateName(state); });
        QObject::connect(vpn, &RasVpn::connectionError, vpn,
            [this](const VpnServer &s, const VpnConfiguration &c, const QString &message) {
                events << QStringLiteral("error");
                error = message;
                errorServer = s;
                errorConfiguration = c;
            });
        QObject::connect(vpn, &RasVpn::byteCount, vpn, [this](qlonglong in, qlonglong out) {
            bytes.append({ in, out });
        });
        QObject::connect(
            core->logManager(), &LogManager::lineAdded, vpn, [this](const QString &line) { lines << line; });
    }

    QString lastEvent() const { return events.value(events.size() - 1); }
    QString log() const { return QString::fromUtf8(core->logManager()->data(LogManager::RasLevel)); }
};

} // namespace

class TestRasVpn : public QObject
{
    Q_OBJECT

public:
    explicit TestRasVpn(const TestHome &home)
        : home(home)
    {
    }

private slots:
    void initTestCase();
    void init();

    void pptpConnects();
    void countsBytes();
    void connectsWhenInterfaceGainsAddress();
    void hangsUp_data();
    void hangsUp();
    void failedAttempts_data();
    void failedAttempts();
    void dialDroppedWhileDialing();
    void hangUpWithNothingRunning();
    void l2tpWithoutIpsec();
    void l2tpWithIpsec();
    void ipsecFailure();
    void destroyedWhileConnected();

private:
    QString bin() const { return fakes.filePath(QStringLiteral("bin")); }
    QString reports() const { return fakes.filePath(QStringLiteral("reports")); }
    QString pppFolder() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/ppp");
    }
    void install(const QStringList &programs) const;
    QStringList report(const QString &name) const;
    QList<qint64> pids(const QString &name) const;
    void writeCounters(qint64 in, qint64 out) const;
    static bool isRunning(qint64 pid);
    QStringList filesHolding(const QString &secret) const;
    static bool onSystem(const QString &program);

    const TestHome &home;
    QTemporaryDir fakes;
};

void TestRasVpn::initTestCase()
{
    QVERIFY(fakes.isValid());
    qputenv("NOXEL_SYSFS_ROOT", QFile::encodeName(fakes.filePath(QStringLiteral("sys"))));
    qputenv("NOXEL_FAKE_DIR", QFile::encodeName(reports()));
    qputenv("NOXEL_FAKE_PASSWORD", Password.toUtf8());
    qputenv("NOXEL_FAKE_PSK", Psk.toUtf8());
    qputenv("PATH", QFile::encodeName(bin()) + ":/usr/bin:/bin");
}

void TestRasVpn::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QProcess: Destroyed while process")));
    QDir(reports()).removeRecursively();
    QVERIFY(QDir().mkpath(reports()));
    install({ QStringLiteral("pppd"), QStringLiteral("pptp"), QStringLiteral("xl2tpd") });
    qputenv("NOXEL_FAKE_PPPD", "up");
    qputenv("NOXEL_FAKE_XL2TPD", "up");
    qputenv("NOXEL_FAKE_IPSEC", "");
}

void TestRasVpn::pptpConnects()
{
    Session session;
    QVERIFY(session.vpn->dial(server(), configuration(Vpn::Pptp)));
    QTRY_COMPARE(session.events, (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected") }));

    // What pppd found in its options while it ran.
    const QStringList seen = report(QStringLiteral("pppd.report"));
    QCOMPARE(seen.value(0), QStringLiteral("options=") + pppFolder() + QStringLiteral("/noxel"));
    QVERIFY(seen.contains(QStringLiteral("mode=600")));
    QVERIFY(seen.contains(QStringLiteral("password=ok")));
    QVERIFY(seen.contains(QStringLiteral("option: name \"alice\"")));
    QVERIFY(
        seen.contains(QStringLiteral("option: pty \"%1/pptp vpn.example.net --nolaunchpppd\"").arg(bin())));
    QVERIFY(seen.contains(QStringLiteral("option: require-mppe-128")));
    QVERIFY(seen.contains(QStringLiteral("option: nodetach")));

    // Gone once connected, and the password with it.
    QVERIFY(!QFile::exists(pppFolder() + QStringLiteral("/noxel")));
    QCOMPARE(filesHolding(Password), QStringList());

    const QString log = session.log();
    QVERIFY(log.contains(QLatin1String("-> RasDial() called")));
    QVERIFY(log.contains(QLatin1String("-> Using interface ppp0")));
    QVERIFY(log.contains(QLatin1String("-> RasDial() succeeded")));
    QTRY_VERIFY(!session.lines.filter(QStringLiteral("PPTP Connected")).isEmpty());

    session.vpn->hangUp();
    QTRY_COMPARE(session.lastEvent(), QStringLiteral("Disconnected"));
}

void TestRasVpn::countsBytes()
{
    writeCounters(1000, 400);
    Session session;
    session.vpn->dial(server(), configuration(Vpn::Pptp));
    QTRY_COMPARE(session.lastEvent(), QStringLiteral("Connected"));
    QTRY_VERIFY(!session.bytes.isEmpty());
    // The first report counts from zero.
    QCOMPARE(session.bytes.first(), (QPair<qlonglong, qlonglong>(1000, 400)));

    writeCounters(1500, 1000);
    QTRY_VERIFY(session.bytes.contains({ 500, 600 }));
    qlonglong in = 0;
    qlonglong out = 0;
    for (const auto &report : std::as_const(session.bytes)) {
        in += report.first;
        out += report.second;
    }
    QCOMPARE(in, 1500);
    QCOMPARE(out, 1000);

    // Counters that went back belong to a new interface: they count from zero.
    writeCounters(200, 100);
    QTRY_VERIFY(session.bytes.contains({ 200, 100 }));

    session.vpn->hangUp();
    QTRY_COMPARE(session.lastEvent(), QStringLiteral("Disconnected"));
    const int reported = session.bytes.size();
    QTest::qWait(1200);
    QCOMPARE(session.bytes.size(), reported);
}

void TestRasVpn::connectsWhenInterfaceGainsAddress()
{
    // pppd names "lo", which has an address, and prints none of its own.
    qputenv("NOXEL_FAKE_PPPD", "quiet-up");
    Session session;
    session.vpn->dial(server(), configuration(Vpn::Pptp));
    QTRY_COMPARE_WITH_TIMEOUT(
        session.events, (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected") }), 4000);
    QVERIFY(!session.log().contains(QLatin1String("IP address")));
    session.vpn->hangUp();
    QTRY_COMPARE(session.lastEvent(), QStringLiteral("Disconnected"));
}

void TestRasVpn::hangsUp_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QStringList>("events");
    const QStringList connected = { QStringLiteral("Connecting"), QStringLiteral("Connected"),
        QStringLiteral("Disconnecting"), QStringLiteral("Disconnected") };
    const QStringList connecting
        = { QStringLiteral("Connecting"), QStringLiteral("Disconnecting"), QStringLiteral("Disconnected") };
    QTest::newRow("connected") << QByteArray("up") << connected;
    QTest::newRow("still negotiating") << QByteArray("hang") << connecting;
    QTest::newRow("pppd ignores SIGTERM") << QByteArray("stubborn") << connecting;
}

void TestRasVpn::hangsUp()
{
    QFETCH(QByteArray, mode);
    QFETCH(QStringList, events);
    qputenv("NOXEL_FAKE_PPPD", mode);
    Session session;
    session.vpn->dial(server(), configuration(Vpn::Pptp));
    QTRY_VERIFY(session.log().contains(QLatin1String("Connect: ppp0 <--> /dev/pts/3")));
    QTRY_COMPARE(session.events.size(), events.size() - 2);

    QElapsedTimer clock;
    clock.start();
    session.vpn->hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(session.events, events, 10000);
    if (mode == "stubborn") {
        QVERIFY(clock.elapsed() >= 4900);
        QVERIFY(session.log().contains(QLatin1String("did not stop on SIGTERM")));
    } else {
        QVERIFY(clock.elapsed() < 4000);
    }
    const QString log = session.log();
    QVERIFY(log.indexOf(QLatin1String("RasRangUp() called"))
        < log.indexOf(QLatin1String("RasHangUp() succeeded")));
    QVERIFY(!session.events.contains(QStringLiteral("error")));
    for (const qint64 pid : pids(QStringLiteral("pppd.pids")))
        QVERIFY(!isRunning(pid));
    QCOMPARE(filesHolding(Password), QStringList());
}

void TestRasVpn::failedAttempts_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QStringList>("programs"); // the stand-ins on PATH
    QTest::addColumn<QByteArray>("pppdMode");
    QTest::addColumn<QByteArray>("xl2tpdMode");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");

    const QString pppd = QStringLiteral("pppd");
    const QString pptp = QStringLiteral("pptp");
    const QString xl2tpd = QStringLiteral("xl2tpd");
    const QStringList all = { pppd, pptp, xl2tpd };
    const QString host = QStringLiteral("vpn.example.net");
    const QString user = QStringLiteral("alice");
    const auto row
        = [&](const char *name, Vpn::Protocol protocol, const QStringList &programs,
              const QByteArray &pppdMode, const QString &host, const QString &user, const QString &password,
              const QString &message, const QByteArray &xl2tpdMode = "up") {
              QTest::newRow(name) << int(protocol) << programs << pppdMode << xl2tpdMode << host << user
                                  << password << message;
          };
    const QString authentication
        = QStringLiteral("Authentication failed: the server did not accept the user name or password.");

    row("authentication fails", Vpn::Pptp, all, "auth-fail", host, user, Password, authentication);
    row("pppd exits", Vpn::Pptp, all, "exit1", host, user, Password,
        QStringLiteral("pppd exited with code 1"));
    row("pppd missing", Vpn::Pptp, { pptp }, "up", host, user, Password,
        QStringLiteral("The program pppd is not installed; it comes with the Debian package ppp."));
    row("pptp missing", Vpn::Pptp, { pppd }, "up", host, user, Password,
        QStringLiteral("The program pptp is not installed; it comes with the Debian package pptp-linux."));
    row("l2tp: xl2tpd missing", Vpn::L2tp, { pppd }, "up", host, user, Password,
        QStringLiteral("The program xl2tpd is not installed; it comes with the Debian package xl2tpd."));
    row("l2tp: pppd missing", Vpn::L2tp, { xl2tpd }, "up", host, user, Password,
        QStringLiteral("The program pppd is not installed; it comes with the Debian package ppp."));
    row("l2tp: authentication fails", Vpn::L2tp, all, "auth-fail", host, user, Password, authentication);
    row("l2tp: pppd exits", Vpn::L2tp, all, "exit1", host, user, Password,
        QStringLiteral("pppd exited with code 1"));
    row("l2tp: no answer", Vpn::L2tp, all, "up", host, user, Password,
        QStringLiteral("The L2TP server did not answer."), "timeout");
    row("no host", Vpn::Pptp, all, "up", QString(), user, Password,
        QStringLiteral("The server has no host name to dial."));
    row("user breaks the options", Vpn::Pptp, all, "up", host, QStringLiteral("alice\"\nnoauth"), Password,
        QStringLiteral("The VPN user name is too long or holds line breaks, quotes or backslashes."));
}

void TestRasVpn::failedAttempts()
{
    QFETCH(int, protocol);
    QFETCH(QStringList, programs);
    QFETCH(QByteArray, pppdMode);
    QFETCH(QByteArray, xl2tpdMode);
    QFETCH(QString, host);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);

    for (const QString &program :
        { QStringLiteral("pppd"), QStringLiteral("pptp"), QStringLiteral("xl2tpd") }) {
        if (!programs.contains(program) && onSystem(program))
            QSKIP("the real program is installed in /usr/sbin or /sbin");
    }
    install(programs);
    qputenv("NOXEL_FAKE_PPPD", pppdMode);
    qputenv("NOXEL_FAKE_XL2TPD", xl2tpdMode);

    Session session;
    const VpnServer dialled = server(host);
    const VpnConfiguration dialledWith = configuration(Vpn::Protocol(protocol), user, password);
    session.vpn->dial(dialled, dialledWith);
    QTRY_COMPARE_WITH_TIMEOUT(session.events,
        (QStringList {
            QStringLiteral("Connecting"), QStringLiteral("error"), QStringLiteral("Disconnected") }),
        8000);
    QCOMPARE(session.error, message);
    QCOMPARE(session.errorServer.uid(), dialled.uid());
    QCOMPARE(session.errorConfiguration.username(), dialledWith.username());
    QVERIFY(session.log().contains(QLatin1String("RasDial() failed: ") + message));

    for (const QString &name : { QStringLiteral("pppd.pids"), QStringLiteral("xl2tpd.pids") }) {
        for (const qint64 pid : pids(name))
            QTRY_VERIFY(!isRunning(pid));
    }
    QCOMPARE(
        QDir(pppFolder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), QStringList());
}

void TestRasVpn::dialDroppedWhileDialing()
{
    qputenv("NOXEL_FAKE_PPPD", "hang");
    Session session;
    session.vpn->dial(server(), configuration(Vpn::Pptp));
    QTRY_VERIFY(session.log().contains(QLatin1String("Connect: ppp0")));
    QVERIFY(session.vpn->dial(server(QStringLiteral("other.example.net")), configuration(Vpn::Pptp)));
    QTRY_VERIFY(session.log().contains(QLatin1String("RasDial() dropped: a dial is in progress")));
    QTest::qWait(200);
    QCOMPARE(session.events, QStringList { QStringLiteral("Connecting") });
    QCOMPARE(pids(QStringLiteral("pppd.pids")).size(), 1);
    QVERIFY(report(QStringLiteral("pppd.report")).filter(QStringLiteral("other.example.net")).isEmpty());

    session.vpn->hangUp();
    QTRY_COMPARE(session.lastEvent(), QStringLiteral("Disconnected"));

    // Idle again: the next dial goes through, and one while connected is dropped.
    qputenv("NOXEL_FAKE_PPPD", "up");
    session.vpn->dial(server(QStringLiteral("other.example.net")), configuration(Vpn::Pptp));
    QTRY_COMPARE(session.lastEvent(), QStringLiteral("Connected"));
    QVERIFY(!report(QStringLiteral("pppd.report")).filter(QStringLiteral("other.example.net")).isEmpty());
    session.vpn->dial(server(), configuration(Vpn::Pptp));
    QTRY_VERIFY(session.log().contains(QLatin1String("RasDial() dropped: already connected")));
    QCOMPARE(pids(QStringLiteral("pppd.pids")).size(), 2);
    session.vpn->hangUp();
    QTRY_COMPARE(session.lastEvent(), QStringLiteral("Disconnected"));
}

void TestRasVpn::hangUpWithNothingRunning()
{
    Session session;
    // Before the first dial there is no dialer to ask.
    session.vpn->hangUp();
    QTest::qWait(100);
    QVERIFY(!session.log().contains(QLatin1String("RasRangUp()")));

    qputenv("NOXEL_FAKE_PPPD", "exit1");
    session.vpn->dial(server(), configuration(Vpn::Pptp));
    QTRY_COMPARE(session.lastEvent(), QStringLiteral("Disconnected"));
    const QStringList before = session.events;
    session.vpn->hangUp();
    QTRY_VERIFY(session.log().contains(QLatin1String("RasRangUp() called")));
    QTest::qWait(200);
    QCOMPARE(session.events, before);
    QVERIFY(!session.log().contains(QLatin1String("RasHangUp() succeeded")));
}

void TestRasVpn::l2tpWithoutIpsec()
{
    if (onSystem(QStringLiteral("ipsec")))
        QSKIP("strongSwan's ipsec is installed in /usr/sbin or /sbin");
    Session session;
    session.vpn->dial(server(), configuration(Vpn::L2tp));
    QTRY_COMPARE(session.events, (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected") }));
    QVERIFY(session.log().contains(QLatin1String("L2TP runs without IPsec")));
    QTRY_VERIFY(!session.lines.filter(QStringLiteral("L2TP Connected")).isEmpty());

    QCOMPARE(report(QStringLiteral("xl2tpd.commands")), QStringList { QStringLiteral("c noxel") });
    const QStringList conf = report(QStringLiteral("xl2tpd.conf"));
    QVERIFY(conf.contains(QStringLiteral("[lac noxel]")));
    QVERIFY(conf.contains(QStringLiteral("lns = vpn.example.net")));
    const QStringList seen = report(QStringLiteral("pppd.report"));
    QVERIFY(seen.contains(QStringLiteral("mode=600")));
    QVERIFY(seen.contains(QStringLiteral("password=ok")));
    QVERIFY(seen.contains(QStringLiteral("option: logfd 2")));
    // Without IPsec, MPPE is what keeps the traffic private.
    QVERIFY(seen.contains(QStringLiteral("option: require-mppe-128")));
    QVERIFY(seen.filter(QStringLiteral("option: pty")).isEmpty());
    QCOMPARE(filesHolding(Password), QStringList());

    session.vpn->hangUp();
    QTRY_COMPARE(session.lastEvent(), QStringLiteral("Disconnected"));
    for (const QString &name : { QStringLiteral("pppd.pids"), QStringLiteral("xl2tpd.pids") }) {
        QCOMPARE(pids(name).size(), 1);
        QTRY_VERIFY(!isRunning(pids(name).first()));
    }
    QCOMPARE(
        QDir(pppFolder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), QStringList());
}

void TestRasVpn::l2tpWithIpsec()
{
    install({ QStringLiteral("pppd"), QStringLiteral("xl2tpd"), QStringLiteral("ipsec") });
    Session session;
    session.vpn->dial(server(), configuration(Vpn::L2tp));
    QTRY_COMPARE(session.events, (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected") }));

    const QStringList ipsec = report(QStringLiteral("ipsec.report"));
    QCOMPARE(ipsec.value(0), QStringLiteral("conf=") + pppFolder() + QStringLiteral("/ipsec.conf"));
    QVERIFY(ipsec.contains(QStringLiteral("mode=600")));
    QVERIFY(ipsec.contains(QStringLiteral("psk=ok")));
    QVERIFY(ipsec.contains(QStringLiteral("conn: type=transport")));
    QVERIFY(ipsec.contains(QStringLiteral("conn: right=vpn.example.net")));
    QCOMPARE(report(QStringLiteral("ipsec.calls")),
        (QStringList { QStringLiteral("start --conf ") + pppFolder() + QStringLiteral("/ipsec.conf"),
            QStringLiteral("up noxel") }));
    QVERIFY(!session.log().contains(QLatin1String("without IPsec")));
    // IPsec encrypts: pppd need not insist on MPPE.
    QVERIFY(!report(QStringLiteral("pppd.report")).contains(QStringLiteral("option: require-mppe-128")));
    QCOMPARE(filesHolding(Psk), QStringList());
    QCOMPARE(filesHolding(Password), QStringList());

    session.vpn->hangUp();
    QTRY_COMPARE(session.lastEvent(), QStringLiteral("Disconnected"));
    QCOMPARE(report(QStringLiteral("ipsec.calls")).mid(2),
        (QStringList { QStringLiteral("down noxel"), QStringLiteral("stop") }));
}

void TestRasVpn::ipsecFailure()
{
    install({ QStringLiteral("pppd"), QStringLiteral("xl2tpd"), QStringLiteral("ipsec") });
    qputenv("NOXEL_FAKE_IPSEC", "fail");
    Session session;
    session.vpn->dial(server(), configuration(Vpn::L2tp));
    QTRY_COMPARE(session.events,
        (QStringList {
            QStringLiteral("Connecting"), QStringLiteral("error"), QStringLiteral("Disconnected") }));
    QVERIFY(session.error.contains(QLatin1String("IPsec")));
    QCOMPARE(report(QStringLiteral("ipsec.calls")).mid(1),
        (QStringList { QStringLiteral("up noxel"), QStringLiteral("down noxel"), QStringLiteral("stop") }));
    QVERIFY(pids(QStringLiteral("xl2tpd.pids")).isEmpty());
    QCOMPARE(filesHolding(Psk), QStringList());
}

void TestRasVpn::destroyedWhileConnected()
{
    auto session = std::make_unique<Session>();
    session->vpn->dial(server(), configuration(Vpn::Pptp));
    QTRY_COMPARE(session->lastEvent(), QStringLiteral("Connected"));
    session.reset();
    QCOMPARE(pids(QStringLiteral("pppd.pids")).size(), 1);
    QVERIFY(!isRunning(pids(QStringLiteral("pppd.pids")).first()));
    QCOMPARE(
        QDir(pppFolder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), QStringList());
}

void TestRasVpn::install(const QStringList &programs) const
{
    QDir(bin()).removeRecursively();
    QDir().mkpath(bin());
    for (const QString &program : programs) {
        const QString target = bin() + QLatin1Char('/') + program;
        QVERIFY(QFile::copy(QStringLiteral(NOXEL_RAS_STANDINS "/") + program, target));
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
}

QStringList TestRasVpn::report(const QString &name) const
{
    QFile file(reports() + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QList<qint64> TestRasVpn::pids(const QString &name) const
{
    QList<qint64> list;
    for (const QString &line : report(name))
        list.append(line.toLongLong());
    return list;
}

void TestRasVpn::writeCounters(qint64 in, qint64 out) const
{
    const QString folder = fakes.filePath(QStringLiteral("sys/class/net/ppp0/statistics"));
    QDir().mkpath(folder);
    // Whole files at once: the dialer may read at any moment.
    for (const auto &[name, value] :
        { std::pair(QStringLiteral("rx_bytes"), in), std::pair(QStringLiteral("tx_bytes"), out) }) {
        QSaveFile file(folder + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::number(value) + '\n');
        QVERIFY(file.commit());
    }
}

bool TestRasVpn::isRunning(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

// Regular files under the temporary home that hold the secret.
QStringList TestRasVpn::filesHolding(const QString &secret) const
{
    QStringList found;
    QDirIterator it(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (it.fileInfo().isFile() && file.open(QIODevice::ReadOnly)
            && file.readAll().contains(secret.toUtf8()))
            found << file.fileName();
    }
    return found;
}

bool TestRasVpn::onSystem(const QString &program)
{
    return QFileInfo::exists(QStringLiteral("/usr/sbin/") + program)
        || QFileInfo::exists(QStringLiteral("/sbin/") + program);
}

NOXEL_APP_TEST_MAIN(TestRasVpn)
#include "tst_rasvpn.moc"
