#include "configuration.h"
#include "connectionfeedback.h"
#include "constants.h"
#include "context.h"
#include "core.h"
#include "databasemanager.h"
#include "fakeopenvpn.h"
#include "fixedport.h"
#include "logmanager.h"
#include "mirrow.h"
#include "openvpn.h"
#include "platformmanager.h"
#include "servervariables.h"
#include "testhome.h"
#include "vpnclient.h"
#include "vpnmanager.h"
#include "vpntest.h"

#include <QApplication>
#include <QSettings>
#include <QtTest>

#include <functional>
#include <memory>

// The connection controller with its drivers: OpenVPN against the stand-in openvpn
// (fakeopenvpn.h), PPTP and L2TP with accounts the dialer refuses before it starts
// any program.

namespace {

using VpnTest::configuration;
using VpnTest::server;

// What the controller asked the user, in order.
class RecordingFeedback : public ConnectionFeedback
{
public:
    void showConnectionError(const VpnServer &server, const VpnConfiguration &, const QString &message,
        const std::function<void()> &closed) override
    {
        errors << server.uid() + QStringLiteral(": ") + message;
        pending << closed;
    }

    void showVpnFailure(Vpn::Protocol protocol) override { failures << protocol; }
    void setUpTunDevice(const std::function<void(bool)> &) override { ++tunSetUps; }

    // Dismisses the oldest error still shown.
    void dismiss()
    {
        if (!pending.isEmpty())
            pending.takeFirst()();
    }

    QStringList errors;
    QList<std::function<void()>> pending;
    QList<Vpn::Protocol> failures;
    int tunSetUps = 0;
};

// A core whose controller reports to a RecordingFeedback, and the states it announced.
struct Session
{
    std::unique_ptr<Core> core = std::make_unique<Core>();
    VpnClient *client = core->vpnClient();
    RecordingFeedback feedback;
    QStringList states;
    QStringList lines;

    Session()
    {
        VpnTest::setResources(core.get(), VpnTest::standardResources());
        client->setFeedback(&feedback);
        QObject::connect(client, &VpnClient::vpnConnectionStateChanged, client,
            [this](VpnConnection::State state) { states << VpnTest::stateName(state); });
        QObject::connect(core->logManager(), &LogManager::lineAdded, client,
            [this](const QString &line) { lines << line; });
    }

    ~Session() { client->setFeedback(nullptr); }

    void setVariables(const QHash<QString, QVariant> &variables) { core->context()->setVariables(variables); }

    bool isIdle() const { return !client->hasConnection(); }
};

QStringList connectedDialogue()
{
    return FakeOpenVpn::handshake(VpnTest::UserName, VpnTest::Password)
        + QStringList { QStringLiteral("send >LOG:1700000005,I,Initialization Sequence Completed") };
}

QStringList refusedDialogue()
{
    return FakeOpenVpn::handshake(VpnTest::UserName, VpnTest::Password)
        + QStringList { QStringLiteral("send >PASSWORD:Verification Failed: 'Auth'") };
}

QString statusText(const QList<ConnectionStat> &stats)
{
    QStringList rows;
    for (const ConnectionStat &stat : stats)
        rows << QStringLiteral("%1/%2/%3").arg(stat.serverUid()).arg(int(stat.protocol())).arg(stat.status());
    return rows.join(QLatin1Char(' '));
}

bool isOpenVpn(Vpn::Protocol protocol)
{
    return protocol == Vpn::OpenVpnTcp || protocol == Vpn::OpenVpnUdp || protocol == Vpn::OpenVpnStealth;
}

} // namespace

class TestVpnClient : public QObject
{
    Q_OBJECT

public:
    TestVpnClient(const TestHome &, const FakeOpenVpn &fake)
        : fake(fake)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void secondConnect_data();
    void secondConnect();
    void quickConnectsCancelQueued();
    void timeoutThenLateConnected();
    void failuresPerFamily_data();
    void failuresPerFamily();
    void vpnFailureShownOnce_data();
    void vpnFailureShownOnce();
    void errorsShownOneAtATime();
    void loadFailures_data();
    void loadFailures();
    void saveFailures();
    void defaultProtocol_data();
    void defaultProtocol();
    void reportConnectivityFailure();
    void noPingsWhileConnected();
    void stateStrings_data();
    void stateStrings();
    void stealthToStealth();

private:
    // One attempt of the protocol that fails, over when the controller is idle again.
    bool failOnce(Session &session, Vpn::Protocol protocol, int n);

    const FakeOpenVpn &fake;
};

void TestVpnClient::initTestCase()
{
    QVERIFY2(fake.isValid(), qPrintable(fake.reason()));
}

void TestVpnClient::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QProcess: Destroyed while process")));
    QSettings().clear();
    fake.clearRecord();
    fake.setMode(QStringLiteral("serve"));
    fake.setDialogue({});
    NOXEL_WAIT_FOR_FIXED_PORT(OpenVpn::ManagementPort);
}

void TestVpnClient::cleanup()
{
    if (QTest::currentTestFailed())
        qInfo().noquote() << QStringLiteral("stand-in record:\n") + fake.record().join(QLatin1Char('\n'));
    const QList<qint64> left
        = fake.running(QStringLiteral("openvpn")) + fake.running(QStringLiteral("stunnel4"));
    fake.killAll();
    QVERIFY2(left.isEmpty(), "a stand-in outlived its driver");
}

bool TestVpnClient::failOnce(Session &session, Vpn::Protocol protocol, int n)
{
    const int before = session.client->failures(protocol);
    const int errorsBefore = int(session.feedback.errors.size());
    VpnConfiguration vpnConfiguration = configuration(protocol);
    if (isOpenVpn(protocol)) {
        fake.setDialogue(refusedDialogue());
        if (!VpnTest::waitForFreePort(OpenVpn::ManagementPort))
            return false;
    } else {
        // The dialer refuses an account without a user name before it starts pppd.
        vpnConfiguration.setUsername(QString());
    }
    if (!session.client->connectToServer(server(n), vpnConfiguration))
        return false;
    const bool counted = QTest::qWaitFor(
        [&] {
            return session.isIdle() && session.feedback.errors.size() > errorsBefore
                && (protocol == Vpn::OpenVpnUdp || session.client->failures(protocol) > before);
        },
        20000);
    // Dismissed at once, so that the next failure is shown.
    while (!session.feedback.pending.isEmpty())
        session.feedback.dismiss();
    return counted;
}

void TestVpnClient::secondConnect_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<int>("protocol");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("same server and protocol") << 1 << int(Vpn::OpenVpnTcp) << false;
    QTest::newRow("same server, other protocol") << 1 << int(Vpn::OpenVpnUdp) << true;
    QTest::newRow("other server, same protocol") << 2 << int(Vpn::OpenVpnTcp) << true;
}

void TestVpnClient::secondConnect()
{
    QFETCH(int, server);
    QFETCH(int, protocol);
    QFETCH(bool, accepted);

    NOXEL_REQUIRE_OPENVPN_CHILD();

    fake.setDialogue(connectedDialogue());
    Session session;
    QVERIFY(session.client->connectToServer(VpnTest::server(1), configuration(Vpn::OpenVpnTcp)));
    QTRY_COMPARE_WITH_TIMEOUT(session.client->state(), VpnConnection::Connected, 15000);

    QCOMPARE(session.client->connectToServer(VpnTest::server(server), configuration(Vpn::Protocol(protocol))),
        accepted);
    if (!accepted) {
        QCOMPARE(session.client->state(), VpnConnection::Connected);
        QCOMPARE(session.client->currentServer().uid(), QStringLiteral("s1"));
        QCOMPARE(fake.starts(), 1);
        QVERIFY(!fake.commands().contains(QStringLiteral("signal SIGTERM")));
        QCOMPARE(statusText(session.client->takeStats()), QStringLiteral("s1/0/0"));
        session.client->disconnect();
        QTRY_VERIFY_WITH_TIMEOUT(session.isIdle(), 15000);
        return;
    }

    // The current tunnel goes first; the new one opens once it has.
    QTRY_COMPARE_WITH_TIMEOUT(fake.starts(), 2, 15000);
    const QStringList record = fake.record();
    QVERIFY(record.indexOf(QStringLiteral("signal SIGTERM")) >= 0);
    QVERIFY(record.indexOf(QStringLiteral("signal SIGTERM"))
        < record.lastIndexOf(QRegularExpression(QStringLiteral("#start .*"))));
    QTRY_COMPARE_WITH_TIMEOUT(session.client->state(), VpnConnection::Connected, 15000);
    QCOMPARE(session.client->currentServer().uid(), QStringLiteral("s%1").arg(server));
    QCOMPARE(int(session.client->currentConfiguration().protocol()), protocol);
    QCOMPARE(session.states,
        (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected"),
            QStringLiteral("Disconnecting"), QStringLiteral("Disconnected"), QStringLiteral("Connecting"),
            QStringLiteral("Connected") }));
    QCOMPARE(
        statusText(session.client->takeStats()), QStringLiteral("s1/0/0 s%1/%2/0").arg(server).arg(protocol));

    session.client->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.isIdle(), 15000);
}

void TestVpnClient::quickConnectsCancelQueued()
{
    NOXEL_REQUIRE_OPENVPN_CHILD();
    fake.setDialogue(connectedDialogue());
    Session session;
    QVERIFY(session.client->connectToServer(server(1), configuration(Vpn::OpenVpnTcp)));
    QTRY_COMPARE_WITH_TIMEOUT(session.client->state(), VpnConnection::Connected, 15000);

    QVERIFY(session.client->connectToServer(server(2), configuration(Vpn::OpenVpnTcp)));
    QVERIFY(session.client->connectToServer(server(3), configuration(Vpn::OpenVpnTcp)));
    QTRY_VERIFY(session.lines.join(QLatin1Char('\n'))
                    .contains(QStringLiteral("Cancelling queued connection to vpn2.noxel.invalid.")));

    QTRY_COMPARE_WITH_TIMEOUT(session.client->currentServer().uid(), QStringLiteral("s3"), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(session.client->state(), VpnConnection::Connected, 15000);
    QCOMPARE(fake.starts(), 2);
    QVERIFY(QFile(OpenVpn::configDirectory() + QStringLiteral("/config.ovpn")).exists());
    QFile config(OpenVpn::configDirectory() + QStringLiteral("/config.ovpn"));
    QVERIFY(config.open(QIODevice::ReadOnly));
    QVERIFY(config.readAll().contains("remote vpn3.noxel.invalid 443"));
    // Server 2 was never tried.
    QCOMPARE(statusText(session.client->takeStats()), QStringLiteral("s1/0/0 s3/0/0"));

    session.client->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.isIdle(), 15000);
}

void TestVpnClient::timeoutThenLateConnected()
{
    NOXEL_REQUIRE_OPENVPN_CHILD();
    fake.setDialogue(FakeOpenVpn::handshake(VpnTest::UserName, VpnTest::Password)
        + QStringList { QStringLiteral("waitfile ") + fake.gate(QStringLiteral("up")),
            QStringLiteral("send >LOG:1700000005,I,Initialization Sequence Completed") });
    Session session;
    session.setVariables({ { VAR_VPN_CONNECTION_TIMEOUT, 1 } });
    QVERIFY(session.client->connectToServer(server(1), configuration(Vpn::OpenVpnTcp)));
    QTRY_COMPARE_WITH_TIMEOUT(session.client->failures(Vpn::OpenVpnTcp), 1, 15000);
    QCOMPARE(session.client->state(), VpnConnection::Connecting);

    fake.release(QStringLiteral("up"));
    QTRY_COMPARE_WITH_TIMEOUT(session.client->state(), VpnConnection::Connected, 15000);
    QCOMPARE(session.client->failures(Vpn::OpenVpnTcp), 1);
    QCOMPARE(statusText(session.client->takeStats()), QStringLiteral("s1/0/2"));
    QCOMPARE(session.feedback.errors, QStringList());

    session.client->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.isIdle(), 15000);
    QVERIFY(session.client->takeStats().isEmpty());
}

void TestVpnClient::failuresPerFamily_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("openVpn");
    QTest::addColumn<int>("l2tp");
    QTest::addColumn<int>("pptp");

    QTest::newRow("OpenVPN TCP") << int(Vpn::OpenVpnTcp) << 1 << 0 << 0;
    QTest::newRow("OpenVPN UDP") << int(Vpn::OpenVpnUdp) << 0 << 0 << 0;
    QTest::newRow("OpenVPN Stealth") << int(Vpn::OpenVpnStealth) << 1 << 0 << 0;
    QTest::newRow("L2TP") << int(Vpn::L2tp) << 0 << 1 << 0;
    QTest::newRow("PPTP") << int(Vpn::Pptp) << 0 << 0 << 1;
}

void TestVpnClient::failuresPerFamily()
{
    QFETCH(int, protocol);
    QFETCH(int, openVpn);
    QFETCH(int, l2tp);
    QFETCH(int, pptp);

    if (isOpenVpn(Vpn::Protocol(protocol)))
        NOXEL_REQUIRE_OPENVPN_CHILD();

    Session session;
    QVERIFY(failOnce(session, Vpn::Protocol(protocol), 1));
    QCOMPARE(session.client->failures(Vpn::OpenVpnTcp), openVpn);
    QCOMPARE(session.client->failures(Vpn::OpenVpnStealth), openVpn);
    QCOMPARE(session.client->failures(Vpn::L2tp), l2tp);
    QCOMPARE(session.client->failures(Vpn::Pptp), pptp);
    QCOMPARE(statusText(session.client->takeStats()), QStringLiteral("s1/%1/4").arg(protocol));
    QCOMPARE(session.feedback.errors.size(), 1);
    if (isOpenVpn(Vpn::Protocol(protocol)))
        QCOMPARE(session.feedback.errors.first(),
            QStringLiteral("s1: The VPN server refused the VPN user name or password."));
    QVERIFY(session.feedback.failures.isEmpty());
}

void TestVpnClient::vpnFailureShownOnce_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<int>("shown");

    QTest::newRow("OpenVPN TCP") << int(Vpn::OpenVpnTcp) << VAR_MAX_FAILURES_OVPN << 1;
    QTest::newRow("OpenVPN Stealth") << int(Vpn::OpenVpnStealth) << VAR_MAX_FAILURES_OVPN << 1;
    QTest::newRow("OpenVPN UDP is not counted") << int(Vpn::OpenVpnUdp) << VAR_MAX_FAILURES_OVPN << 0;
    QTest::newRow("L2TP") << int(Vpn::L2tp) << VAR_MAX_FAILURES_L2TP << 1;
    QTest::newRow("PPTP") << int(Vpn::Pptp) << VAR_MAX_FAILURES_PPTP << 1;
}

void TestVpnClient::vpnFailureShownOnce()
{
    QFETCH(int, protocol);
    QFETCH(QString, variable);
    QFETCH(int, shown);

    if (isOpenVpn(Vpn::Protocol(protocol)))
        NOXEL_REQUIRE_OPENVPN_CHILD();

    Session session;
    QHash<QString, QVariant> variables { { VAR_MAX_FAILURES_OVPN, 0 }, { VAR_MAX_FAILURES_L2TP, 0 },
        { VAR_MAX_FAILURES_PPTP, 0 } };
    if (!variable.isEmpty())
        variables.insert(variable, 2);
    session.setVariables(variables);

    QVERIFY(failOnce(session, Vpn::Protocol(protocol), 1));
    QCOMPARE(session.feedback.failures.size(), 0);
    // The second failure reaches the limit of two.
    QVERIFY(failOnce(session, Vpn::Protocol(protocol), 2));
    QCOMPARE(session.feedback.failures.size(), shown);
    for (int n = 3; n <= 4; ++n)
        QVERIFY(failOnce(session, Vpn::Protocol(protocol), n));
    QCOMPARE(session.feedback.failures.size(), shown);
    if (shown)
        QCOMPARE(int(session.feedback.failures.first()), protocol);
    QCOMPARE(session.feedback.errors.size(), 4);
}

void TestVpnClient::errorsShownOneAtATime()
{
    Session session;
    OpenVpn *openVpn = session.client->openVpn();
    const VpnConfiguration config = configuration(Vpn::OpenVpnTcp);
    emit openVpn->connectionError(server(1), config, QStringLiteral("first"));
    emit openVpn->connectionError(server(2), config, QStringLiteral("second"));
    emit openVpn->connectionError(server(3), config, QStringLiteral("third"));
    QTRY_COMPARE(session.feedback.errors, QStringList { QStringLiteral("s1: first") });
    QTest::qWait(100);
    QCOMPARE(session.feedback.errors, QStringList { QStringLiteral("s1: first") });

    session.feedback.dismiss();
    QTRY_COMPARE(
        session.feedback.errors, (QStringList { QStringLiteral("s1: first"), QStringLiteral("s2: second") }));
    session.feedback.dismiss();
    QTRY_COMPARE(session.feedback.errors.size(), 3);
    QCOMPARE(session.feedback.errors.last(), QStringLiteral("s3: third"));
    session.feedback.dismiss();

    // With nothing shown, the next error shows at once.
    emit openVpn->connectionError(server(4), config, QStringLiteral("fourth"));
    QTRY_COMPARE(session.feedback.errors.size(), 4);
    QCOMPARE(session.feedback.errors.last(), QStringLiteral("s4: fourth"));
    QTRY_VERIFY(
        session.lines.join(QLatin1Char('\n'))
            .contains(QStringLiteral("Unable to establish VPN connection to vpn4.noxel.invalid: fourth")));
    // Errors outside an attempt count nothing.
    QCOMPARE(session.client->failures(Vpn::OpenVpnTcp), 0);
    QVERIFY(session.client->takeStats().isEmpty());
}

void TestVpnClient::loadFailures_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<int>("openVpn");
    QTest::addColumn<int>("l2tp");
    QTest::addColumn<int>("pptp");

    QTest::newRow("none") << QVariantMap() << 0 << 0 << 0;
    QTest::newRow("OpenVPN") << QVariantMap { { QStringLiteral("failures_ovpn"), 3 } } << 3 << 0 << 0;
    QTest::newRow("all three") << QVariantMap { { QStringLiteral("failures_ovpn"), 1 },
        { QStringLiteral("failures_l2tp"), 2 }, { QStringLiteral("failures_pptp"), 5 } }
                               << 1 << 2 << 5;
    QTest::newRow("zero stored") << QVariantMap { { QStringLiteral("failures_l2tp"), 0 },
        { QStringLiteral("failures_pptp"), 4 } }
                                 << 0 << 0 << 4;
}

void TestVpnClient::loadFailures()
{
    QFETCH(QVariantMap, stored);
    QFETCH(int, openVpn);
    QFETCH(int, l2tp);
    QFETCH(int, pptp);

    {
        QSettings settings;
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            settings.setValue(it.key(), it.value());
        settings.setValue(QStringLiteral("unrelated"), 7);
    }
    Session session;
    session.client->loadFailures();
    QCOMPARE(session.client->failures(Vpn::OpenVpnTcp), openVpn);
    QCOMPARE(session.client->failures(Vpn::L2tp), l2tp);
    QCOMPARE(session.client->failures(Vpn::Pptp), pptp);
    const QSettings settings;
    QVERIFY(!settings.contains(QStringLiteral("failures_ovpn")));
    QVERIFY(!settings.contains(QStringLiteral("failures_l2tp")));
    QVERIFY(!settings.contains(QStringLiteral("failures_pptp")));
    QCOMPARE(settings.value(QStringLiteral("unrelated")).toInt(), 7);

    // What was loaded is saved again for the next run, zeros left out.
    session.client->saveFailures();
    const QSettings saved;
    QCOMPARE(saved.contains(QStringLiteral("failures_ovpn")), openVpn > 0);
    QCOMPARE(saved.contains(QStringLiteral("failures_l2tp")), l2tp > 0);
    QCOMPARE(saved.contains(QStringLiteral("failures_pptp")), pptp > 0);
    QCOMPARE(saved.value(QStringLiteral("failures_ovpn"), 0).toInt(), openVpn);
    QCOMPARE(saved.value(QStringLiteral("failures_l2tp"), 0).toInt(), l2tp);
    QCOMPARE(saved.value(QStringLiteral("failures_pptp"), 0).toInt(), pptp);
}

void TestVpnClient::saveFailures()
{
    NOXEL_REQUIRE_OPENVPN_CHILD();
    Session session;
    QVERIFY(failOnce(session, Vpn::OpenVpnTcp, 1));
    QVERIFY(failOnce(session, Vpn::OpenVpnStealth, 2));
    QVERIFY(failOnce(session, Vpn::Pptp, 3));
    session.client->saveFailures();
    const QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("failures_ovpn")).toInt(), 2);
    QVERIFY(!settings.contains(QStringLiteral("failures_l2tp")));
    QCOMPARE(settings.value(QStringLiteral("failures_pptp")).toInt(), 1);

    // The next run starts where this one stopped.
    Session next;
    next.client->loadFailures();
    QCOMPARE(next.client->failures(Vpn::OpenVpnTcp), 2);
    QCOMPARE(next.client->failures(Vpn::L2tp), 0);
    QCOMPARE(next.client->failures(Vpn::Pptp), 1);
}

void TestVpnClient::defaultProtocol_data()
{
    QTest::addColumn<QVariant>("defaultSetting");
    QTest::addColumn<QVariant>("force");
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("expected");

    const QVariant none;
    QTest::newRow("nothing set") << none << none << QString() << int(Vpn::OpenVpnUdp);
    QTest::newRow("last protocol") << none << none << PROTOCOL_KEY_OPENVPN_TCP << int(Vpn::OpenVpnTcp);
    QTest::newRow("default without last")
        << QVariant(PROTOCOL_KEY_L2TP) << none << QString() << int(Vpn::L2tp);
    QTest::newRow("last wins over default")
        << QVariant(PROTOCOL_KEY_L2TP) << none << PROTOCOL_KEY_PPTP << int(Vpn::Pptp);
    QTest::newRow("forced default wins over last") << QVariant(PROTOCOL_KEY_OPENVPN_STEALTH) << QVariant(true)
                                                   << PROTOCOL_KEY_PPTP << int(Vpn::OpenVpnStealth);
    QTest::newRow("force as text") << QVariant(PROTOCOL_KEY_L2TP) << QVariant(QStringLiteral("true"))
                                   << PROTOCOL_KEY_OPENVPN_TCP << int(Vpn::L2tp);
    QTest::newRow("forced invalid default ignored") << QVariant(QStringLiteral("ovpn_carrier_pigeon"))
                                                    << QVariant(true) << PROTOCOL_KEY_PPTP << int(Vpn::Pptp);
    QTest::newRow("force without default") << none << QVariant(true) << PROTOCOL_KEY_L2TP << int(Vpn::L2tp);
}

void TestVpnClient::defaultProtocol()
{
    QFETCH(QVariant, defaultSetting);
    QFETCH(QVariant, force);
    QFETCH(QString, last);
    QFETCH(int, expected);

    Session session;
    {
        QSettings settings;
        if (defaultSetting.isValid())
            settings.setValue(QStringLiteral("default_protocol"), defaultSetting);
        if (force.isValid())
            settings.setValue(QStringLiteral("force_default_protocol"), force);
    }
    session.core->configuration()->setLastProtocol(last);
    QCOMPARE(int(session.client->defaultProtocol()), expected);
}

void TestVpnClient::noPingsWhileConnected()
{
    NOXEL_REQUIRE_OPENVPN_CHILD();
    fake.setDialogue(connectedDialogue());
    Session session;
    DatabaseManager *database = session.core->databaseManager();
    QVERIFY(database->open());
    QList<VpnServer> list;
    for (const QString &address : {QStringLiteral("127.0.0.21"), QStringLiteral("127.0.0.22")}) {
        VpnServer entry;
        entry.setUid(QStringLiteral("ping-") + address);
        entry.setHost(address);
        entry.setAddress(address);
        list << entry;
    }
    QVERIFY(database->updateServers(list));
    VpnManager *manager = session.core->vpnManager();
    QSignalSpy ready(manager, &VpnManager::readyConnect);
    manager->load();
    QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, 10000);
    const auto pings = [&session] { return session.lines.filter(QStringLiteral("Ping: Received from")).size(); };

    // From now on every ping is stale after a second.
    session.setVariables({{VAR_PING_UPDATE_INTERVAL, 1}});
    emit session.core->variablesUpdated();
    QVERIFY(session.client->connectToServer(server(1), configuration(Vpn::OpenVpnTcp)));
    QTRY_COMPARE_WITH_TIMEOUT(session.client->state(), VpnConnection::Connected, 15000);
    QTest::qWait(1500);
    const int before = pings();
    // The ping timer's tick while connected sends nothing.
    QVERIFY(QMetaObject::invokeMethod(manager, "updateNextPings"));
    QTest::qWait(1500);
    QCOMPARE(pings(), before);

    // Once disconnected, a round starts at once.
    session.client->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.isIdle(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(pings() > before, 5000);
}

void TestVpnClient::reportConnectivityFailure()
{
    NOXEL_REQUIRE_OPENVPN_CHILD();
    fake.setDialogue(connectedDialogue());
    Session session;
    QVERIFY(session.client->connectToServer(server(1), configuration(Vpn::OpenVpnTcp)));
    QTRY_COMPARE_WITH_TIMEOUT(session.client->state(), VpnConnection::Connected, 15000);

    ConnectionStat earlier;
    earlier.setServerUid(QStringLiteral("s1"));
    earlier.setProtocol(Vpn::OpenVpnUdp);
    earlier.setStatus(ConnectionStat::Failed);
    earlier.setText(QStringLiteral("earlier"));
    ConnectionStat other = earlier;
    other.setServerUid(QStringLiteral("s2"));
    other.setStatus(ConnectionStat::Connected);
    session.client->addStats({ earlier, other });

    // However often the API fails, one broken connection is one failure.
    session.client->reportConnectivityFailure();
    session.client->reportConnectivityFailure();
    const QList<ConnectionStat> stats = session.client->takeStats();
    QCOMPARE(statusText(stats), QStringLiteral("s1/0/3 s1/1/3 s2/1/0"));
    QCOMPARE(stats.at(2).text(), QStringLiteral("earlier"));
    QVERIFY(stats.at(1).text() != QStringLiteral("earlier"));
    QCOMPARE(session.client->failures(Vpn::OpenVpnTcp), 1);

    session.client->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.isIdle(), 15000);
}

void TestVpnClient::stateStrings_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    QTest::newRow("CONNECTING") << QStringLiteral("CONNECTING") << QStringLiteral("Connecting");
    QTest::newRow("WAIT") << QStringLiteral("WAIT") << QStringLiteral("Waiting for server reply");
    QTest::newRow("AUTH") << QStringLiteral("AUTH") << QStringLiteral("Authenticating");
    QTest::newRow("GET_CONFIG") << QStringLiteral("GET_CONFIG")
                                << QStringLiteral("Getting client configuration");
    QTest::newRow("ASSIGN_IP") << QStringLiteral("ASSIGN_IP") << QStringLiteral("Assigning IP addresses");
    QTest::newRow("ADD_ROUTES") << QStringLiteral("ADD_ROUTES") << QStringLiteral("Adding network routes");
    QTest::newRow("CONNECTED") << QStringLiteral("CONNECTED") << QStringLiteral("Connected");
    QTest::newRow("DISCONNECTED") << QStringLiteral("DISCONNECTED") << QStringLiteral("Disconnected");
    QTest::newRow("RECONNECTING") << QStringLiteral("RECONNECTING") << QStringLiteral("Reconnecting");
    QTest::newRow("EXITING") << QStringLiteral("EXITING") << QStringLiteral("Exiting");
    QTest::newRow("RESOLVE") << QStringLiteral("RESOLVE") << QStringLiteral("Resolving host names");
    QTest::newRow("TCP_CONNECT") << QStringLiteral("TCP_CONNECT") << QStringLiteral("Connecting (TCP)");
    QTest::newRow("unknown") << QStringLiteral("AUTH_PENDING") << QStringLiteral("AUTH_PENDING");
}

void TestVpnClient::stateStrings()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    Session session;
    QSignalSpy spy(session.client, &VpnClient::vpnConnectionStateStringChanged);
    emit session.client->openVpn()->stateStringChanged(name);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().toString(), text);
}

// A new Stealth tunnel waits for the old stunnel instead of failing on it.
void TestVpnClient::stealthToStealth()
{
    NOXEL_REQUIRE_OPENVPN_CHILD();
    fake.setDialogue(connectedDialogue());
    Session session;
    QVERIFY(session.client->connectToServer(server(1), configuration(Vpn::OpenVpnStealth)));
    QTRY_COMPARE_WITH_TIMEOUT(session.client->state(), VpnConnection::Connected, 15000);
    QVERIFY(session.client->connectToServer(server(2), configuration(Vpn::OpenVpnStealth)));
    QTRY_COMPARE_WITH_TIMEOUT(session.client->currentServer().uid(), QStringLiteral("s2"), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(session.client->state(), VpnConnection::Connected, 15000);
    QCOMPARE(statusText(session.client->takeStats()), QStringLiteral("s1/4/0 s2/4/0"));
    QCOMPARE(session.client->failures(Vpn::OpenVpnStealth), 0);
    QCOMPARE(fake.running(QStringLiteral("stunnel4")).size(), 1);

    session.client->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.isIdle(), 15000);
    QTRY_VERIFY(fake.running(QStringLiteral("stunnel4")).isEmpty());
}

int main(int argc, char *argv[])
{
    TestHome home;
    if (!home.isValid()) {
        qCritical("cannot set up a temporary home");
        return 1;
    }
    FakeOpenVpn fake;
    // The tun device is there: the set-up dialog stays closed.
    if (!fake.provideTunDevice())
        return 1;
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    qputenv(Mirrow::AddressesVariable, VpnTest::closedAddress().toUtf8());
    TestVpnClient test(home, fake);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_vpnclient.moc"
