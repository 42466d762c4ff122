#include "fakeopenvpn.h"
#include "fixedport.h"
#include "openvpn.h"
#include "testhome.h"
#include "tunnelrecord.h"
#include "vpntest.h"

#include <QApplication>
#include <QProcess>
#include <QtTest>

#include <signal.h>

// What a killed client leaves of its tunnel, and the road through the privileged
// service. The OpenVPN driver runs in openvpn_runner, a process of its own that the
// test kills as a crash would, against the stand-ins of fakeopenvpn.h. Without root
// the driver always takes the service's road; as root the runner is put into a user
// namespace where it is not root when it has to.

namespace {

enum Road { ChildRoad, ServiceRoad };

const QString Connected = QStringLiteral("state Connected");
const QString Disconnected = QStringLiteral("state Disconnected");
const QString OpenVpnProgram = QStringLiteral("openvpn");
const QString NoManagement
    = QStringLiteral("OpenVPN did not open its management interface; see the OpenVPN log for why.");
const QString StoppedEarly
    = QStringLiteral("OpenVPN stopped before the connection was made; the OpenVPN log says why.");

QStringList userNamespace()
{
    return { QStringLiteral("unshare"), QStringLiteral("--user"), QStringLiteral("--map-user=1000"),
        QStringLiteral("--map-group=1000") };
}

bool serviceRoadAvailable()
{
    if (!VpnTest::canRunOpenVpnAsChild())
        return true;
    static const bool available = [] {
        QProcess probe;
        const QStringList command = userNamespace();
        probe.start(command.first(), command.mid(1) + QStringList { QStringLiteral("true") });
        return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit
            && probe.exitCode() == 0;
    }();
    return available;
}

QStringList connectedDialogue()
{
    return FakeOpenVpn::handshake(VpnTest::UserName, VpnTest::Password)
        + QStringList { QStringLiteral("send >LOG:1700000005,I,Initialization Sequence Completed") };
}

// The driver in a process of its own: the test writes commands and reads reports.
class Runner
{
public:
    explicit Runner(Road road, const QStringList &environment = {})
    {
        QStringList command
            = road == ServiceRoad && VpnTest::canRunOpenVpnAsChild() ? userNamespace() : QStringList();
        command << QStringLiteral(NOXEL_OPENVPN_RUNNER);
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        for (const QString &variable : environment)
            variables.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
        process.setProcessEnvironment(variables);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, &process, [this] {
            while (process.canReadLine())
                reports << QString::fromUtf8(process.readLine()).trimmed();
        });
        process.start(command.first(), command.mid(1));
    }

    ~Runner()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        send(QStringLiteral("quit"));
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    void send(const QString &command) { process.write(command.toUtf8() + '\n'); }
    // As a crash would: the program has no say.
    void kill()
    {
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished(10000);
    }
    int count(const QString &report) const { return int(reports.count(report)); }
    // The state changes and errors, in order.
    QStringList events() const
    {
        QStringList events;
        for (const QString &report : reports) {
            if (report.startsWith(QLatin1String("state ")) || report.startsWith(QLatin1String("error ")))
                events << report;
        }
        return events;
    }

    QProcess process;
    QStringList reports;
};

} // namespace

class TestOpenVpnRecovery : public QObject
{
    Q_OBJECT

public:
    explicit TestOpenVpnRecovery(const FakeOpenVpn &fake)
        : fake(fake)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void childrenEndWithClient_data();
    void childrenEndWithClient();
    void leftoverEndedAtStart_data();
    void leftoverEndedAtStart();
    void serviceAttemptFails_data();
    void serviceAttemptFails();

private:
    const FakeOpenVpn &fake;
};

#define REQUIRE_ROAD(road)                                                                                   \
    do {                                                                                                     \
        if ((road) == ChildRoad)                                                                             \
            NOXEL_REQUIRE_OPENVPN_CHILD();                                                                   \
        else if (!serviceRoadAvailable())                                                                    \
            QSKIP("As root the service's road needs a user namespace, which cannot be made here.");          \
    } while (false)

void TestOpenVpnRecovery::initTestCase()
{
    QVERIFY2(fake.isValid(), qPrintable(fake.reason()));
}

void TestOpenVpnRecovery::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QProcess: Destroyed while process")));
    fake.clearRecord();
    fake.setMode(QStringLiteral("serve"));
    fake.setDialogue(connectedDialogue());
    fake.resetService();
    fake.setService(OpenVpn::configDirectory(), QStringLiteral("serve"));
    QDir(OpenVpn::configDirectory()).removeRecursively();
    NOXEL_WAIT_FOR_FIXED_PORT(OpenVpn::ManagementPort);
}

void TestOpenVpnRecovery::cleanup()
{
    if (QTest::currentTestFailed())
        qInfo().noquote() << QStringLiteral("stand-in record:\n") + fake.record().join(QLatin1Char('\n'));
    const QList<qint64> left = fake.running(OpenVpnProgram) + fake.running(QStringLiteral("stunnel4"));
    fake.killAll();
    QVERIFY2(left.isEmpty(), "a stand-in outlived the test");
}

void TestOpenVpnRecovery::childrenEndWithClient_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QStringList>("programs");

    QTest::newRow("OpenVPN over TCP") << QStringLiteral("tcp") << QStringList { OpenVpnProgram };
    QTest::newRow("Stealth") << QStringLiteral("stealth")
                             << QStringList { OpenVpnProgram, QStringLiteral("stunnel4") };
}

// A client killed while connected takes its OpenVPN (and stunnel) along; its next
// run connects again.
void TestOpenVpnRecovery::childrenEndWithClient()
{
    QFETCH(QString, protocol);
    QFETCH(QStringList, programs);
    REQUIRE_ROAD(ChildRoad);

    Runner client(ChildRoad);
    client.send(QStringLiteral("open ") + protocol);
    QTRY_VERIFY_WITH_TIMEOUT(client.count(Connected) == 1, 20000);
    for (const QString &program : std::as_const(programs))
        QCOMPARE(fake.running(program).size(), 1);
    // On record for the next run, for the user's eyes only: it holds the management password.
    QVERIFY(QFileInfo::exists(TunnelRecord::fileName()));
    QCOMPARE(QFile::permissions(TunnelRecord::fileName()) & ~(QFile::ReadUser | QFile::WriteUser),
        QFile::ReadOwner | QFile::WriteOwner);
    client.kill();
    for (const QString &program : std::as_const(programs))
        QTRY_VERIFY2_WITH_TIMEOUT(fake.running(program).isEmpty(), qPrintable(program), 15000);

    fake.clearRecord();
    Runner next(ChildRoad);
    next.send(QStringLiteral("recover"));
    QTRY_VERIFY_WITH_TIMEOUT(next.count(QStringLiteral("recovered")) == 1, 30000);
    QVERIFY(!QFileInfo::exists(TunnelRecord::fileName()));
    next.send(QStringLiteral("open ") + protocol);
    QTRY_VERIFY_WITH_TIMEOUT(next.count(Connected) == 1, 20000);
    next.send(QStringLiteral("disconnect"));
    QTRY_VERIFY_WITH_TIMEOUT(next.count(Disconnected) == 1, 20000);
}

void TestOpenVpnRecovery::leftoverEndedAtStart_data()
{
    QTest::addColumn<int>("road");
    // How the stand-in openvpn takes SIGTERM (NOXEL_FAKE_OPENVPN_STUBBORN).
    QTest::addColumn<QString>("stubborn");
    // The killed run's OpenVPN has ended and its number names another program.
    QTest::addColumn<bool>("foreign");

    // An OpenVPN that dropped its root rights no longer gets the client's end.
    QTest::newRow("OpenVPN deaf to the signal, not to its management")
        << int(ChildRoad) << QStringLiteral("signal") << false;
    QTest::newRow("OpenVPN that ends only by SIGKILL") << int(ChildRoad) << QStringLiteral("1") << false;
    QTest::newRow("number now of another program") << int(ChildRoad) << QString() << true;
    QTest::newRow("service still running") << int(ServiceRoad) << QString() << false;
}

// The next run ends the tunnel a killed run left, and connects; it leaves alone a
// process that is not of that tunnel.
void TestOpenVpnRecovery::leftoverEndedAtStart()
{
    QFETCH(int, road);
    QFETCH(QString, stubborn);
    QFETCH(bool, foreign);
    REQUIRE_ROAD(road);

    QStringList environment;
    if (!stubborn.isEmpty())
        environment << QStringLiteral("NOXEL_FAKE_OPENVPN_STUBBORN=") + stubborn;
    Runner client { Road(road), environment };
    client.send(QStringLiteral("open tcp"));
    QTRY_VERIFY_WITH_TIMEOUT(client.count(Connected) == 1, 20000);
    const QList<qint64> tunnel = fake.running(OpenVpnProgram);
    QCOMPARE(tunnel.size(), 1);
    client.kill();

    QProcess other;
    if (foreign) {
        QTRY_VERIFY_WITH_TIMEOUT(fake.running(OpenVpnProgram).isEmpty(), 15000);
        other.start(QStringLiteral("sleep"), { QStringLiteral("120") });
        QVERIFY(other.waitForStarted());
        TunnelRecord record = TunnelRecord::load();
        QVERIFY(!record.isNull());
        record.openVpnPid = other.processId();
        QVERIFY(record.save());
    } else {
        // The tunnel outlived its client.
        QTest::qWait(1000);
        QCOMPARE(fake.running(OpenVpnProgram), tunnel);
    }

    fake.clearRecord();
    Runner next { Road(road) };
    next.send(QStringLiteral("recover"));
    QTRY_VERIFY_WITH_TIMEOUT(next.count(QStringLiteral("recovered")) == 1, 60000);
    QVERIFY(fake.running(OpenVpnProgram).isEmpty());
    QVERIFY(!QFileInfo::exists(TunnelRecord::fileName()));
    if (foreign)
        QCOMPARE(other.state(), QProcess::Running);
    if (stubborn == QLatin1String("signal"))
        QVERIFY(fake.commands().contains(QStringLiteral("signal SIGTERM")));
    QCOMPARE(fake.systemctlCalls(QStringLiteral("stop")), road == ServiceRoad ? 1 : 0);

    next.send(QStringLiteral("open tcp"));
    QTRY_VERIFY_WITH_TIMEOUT(next.count(Connected) == 1, 20000);
    next.send(QStringLiteral("disconnect"));
    QTRY_VERIFY_WITH_TIMEOUT(next.count(Disconnected) == 1, 20000);
    QCOMPARE(next.count(QStringLiteral("opened true")), 1);
    if (foreign) {
        other.kill();
        other.waitForFinished();
    }
}

void TestOpenVpnRecovery::serviceAttemptFails_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("dialogue");
    QTest::addColumn<QStringList>("events");

    // Ten attempts at the management port, one to nine seconds apart: about 45 seconds.
    QTest::newRow("service running, OpenVPN silent")
        << QStringLiteral("noport") << QStringList()
        << QStringList { QStringLiteral("state Connecting"), QStringLiteral("error ") + NoManagement,
               QStringLiteral("state Disconnecting"), Disconnected };
    // As the service does when it refuses the configuration.
    QTest::newRow("service ended after it was reported running")
        << QStringLiteral("exit") << QStringList()
        << QStringList { QStringLiteral("state Connecting"), QStringLiteral("error ") + StoppedEarly,
               Disconnected };
    QTest::newRow("service's OpenVPN ended while connecting")
        << QStringLiteral("serve")
        << FakeOpenVpn::handshakeUntilHold() + QStringList { QStringLiteral("exit 1") }
        << QStringList { QStringLiteral("state Connecting"), QStringLiteral("error ") + StoppedEarly,
               Disconnected };
}

// A service whose OpenVPN never answers, or goes before the tunnel is up, ends the
// attempt and the unit; the next attempt starts the unit again and connects.
void TestOpenVpnRecovery::serviceAttemptFails()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, dialogue);
    QFETCH(QStringList, events);
    REQUIRE_ROAD(ServiceRoad);

    fake.setService(OpenVpn::configDirectory(), mode);
    fake.setDialogue(dialogue);
    Runner client(ServiceRoad);
    client.send(QStringLiteral("open tcp"));
    QTRY_VERIFY_WITH_TIMEOUT(client.count(Disconnected) == 1, 120000);
    QCOMPARE(client.events(), events);
    QVERIFY(fake.running(OpenVpnProgram).isEmpty());
    QVERIFY(fake.serviceState() != QLatin1String("active"));
    QCOMPARE(fake.systemctlCalls(QStringLiteral("start")), 1);

    fake.setService(OpenVpn::configDirectory(), QStringLiteral("serve"));
    fake.setDialogue(connectedDialogue());
    client.send(QStringLiteral("open tcp"));
    QTRY_VERIFY_WITH_TIMEOUT(client.count(Connected) == 1, 30000);
    QCOMPARE(client.count(QStringLiteral("opened true")), 2);
    QCOMPARE(fake.systemctlCalls(QStringLiteral("start")), 2);
    client.send(QStringLiteral("disconnect"));
    QTRY_VERIFY_WITH_TIMEOUT(client.count(Disconnected) == 2, 30000);
    QCOMPARE(fake.serviceState(), QStringLiteral("inactive"));
}

int main(int argc, char *argv[])
{
    TestHome home;
    if (!home.isValid()) {
        qCritical("cannot set up a temporary home");
        return 1;
    }
    FakeOpenVpn fake;
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    TestOpenVpnRecovery test(fake);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_openvpnrecovery.moc"
