#include "context.h"
#include "core.h"
#include "fakeopenvpn.h"
#include "fixedport.h"
#include "logmanager.h"
#include "mirrow.h"
#include "openvpn.h"
#include "platformmanager.h"
#include "testhome.h"
#include "vpntest.h"

#include <QApplication>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

// The OpenVPN driver against a stand-in openvpn (fakeopenvpn.h) that serves a
// scripted management dialogue on 127.0.0.1:1111 and records the commands it gets.

namespace {

using VpnTest::Password;
using VpnTest::UserName;

const QString Sync = QStringLiteral("send >PASSWORD:Need 'Auth' username/password");
const QString SyncAnswer = QStringLiteral("expect username \"Auth\" \"%1\"").arg(UserName);
const QString SyncCommand = QStringLiteral("username \"Auth\" \"%1\"").arg(UserName);
const QString Completed = QStringLiteral("send >LOG:1700000005,I,Initialization Sequence Completed");
const QString Reset = QStringLiteral("send >LOG:1700000006,I,Connection reset, restarting [0]");
const QString Refused = QStringLiteral("The VPN server refused the VPN user name or password.");
const QString NoManagement
    = QStringLiteral("OpenVPN did not open its management interface; see the OpenVPN log for why.");

QString configDirectory()
{
    return OpenVpn::configDirectory();
}

QString passwordFile()
{
    return configDirectory() + QStringLiteral("/management.pw");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The permission bits of a file, as "600".
QString mode(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("missing");
    return QString::number(info.st_mode & 07777, 8);
}

// What a dialogue expects to receive, in order.
QStringList expectations(const QStringList &dialogue)
{
    QStringList commands;
    for (const QString &line : dialogue) {
        if (line.startsWith(QLatin1String("expect ")))
            commands << line.mid(7);
    }
    return commands;
}

QStringList credentials(const QString &userCommand = QStringLiteral("username \"Auth\" \"%1\"").arg(UserName),
    const QString &passwordCommand = QStringLiteral("password \"Auth\" \"%1\"").arg(Password))
{
    return {
        QStringLiteral("send >PASSWORD:Need 'Auth' username/password"),
        QStringLiteral("expect ") + userCommand,
        QStringLiteral("send SUCCESS: 'Auth' username entered, but not yet verified"),
        QStringLiteral("expect ") + passwordCommand,
        QStringLiteral("send SUCCESS: 'Auth' password entered, but not yet verified"),
    };
}

QStringList connectedDialogue(const QStringList &tail = {})
{
    return FakeOpenVpn::handshakeUntilHold() + credentials() + QStringList { Completed } + tail;
}

// One driver on a core of its own, and everything it reported, in order.
struct Session
{
    std::unique_ptr<Core> core;
    OpenVpn *vpn = nullptr;
    // State names, "error: <message>" and "free" (processFinished).
    QStringList events;
    QStringList stateNames;
    QList<QPair<qlonglong, qlonglong>> bytes;
    QStringList lines;
    QList<VpnServer> errorServers;

    explicit Session(const QList<VpnResource> &resources = VpnTest::standardResources())
        : core(std::make_unique<Core>())
    {
        VpnTest::setResources(core.get(), resources);
        vpn = new OpenVpn(core->logManager(), core->context(), core.get());
        QObject::connect(vpn, &OpenVpn::stateChanged, vpn,
            [this](VpnConnection::State state) { events << VpnTest::stateName(state); });
        QObject::connect(vpn, &OpenVpn::processFinished, vpn, [this] { events << QStringLiteral("free"); });
        QObject::connect(vpn, &OpenVpn::connectionError, vpn,
            [this](const VpnServer &server, const VpnConfiguration &, const QString &message) {
                events << QStringLiteral("error: ") + message;
                errorServers << server;
            });
        QObject::connect(
            vpn, &OpenVpn::stateStringChanged, vpn, [this](const QString &name) { stateNames << name; });
        QObject::connect(vpn, &OpenVpn::byteCount, vpn,
            [this](qlonglong in, qlonglong out) { bytes << qMakePair(in, out); });
        QObject::connect(
            core->logManager(), &LogManager::lineAdded, vpn, [this](const QString &line) { lines << line; });
    }

    bool ended() const
    {
        return events.endsWith(QStringLiteral("Disconnected")) || events.endsWith(QStringLiteral("free"));
    }

    // The log as it would leave the machine, and the lines shown to the user.
    QString logs() const
    {
        return core->logManager()->attachableLogs() + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
    }
};

} // namespace

class TestOpenVpn : public QObject
{
    Q_OBJECT

public:
    TestOpenVpn(const TestHome &, const FakeOpenVpn &fake)
        : fake(fake)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connects_data();
    void connects();
    void failures_data();
    void failures();
    void stateNames_data();
    void stateNames();
    void lateReportWhileDisconnecting_data();
    void lateReportWhileDisconnecting();
    void byteCounts();
    void unknownNotificationsLogged_data();
    void unknownNotificationsLogged();
    void openRefusedWhileManaged();
    void configurationFiles_data();
    void configurationFiles();
    void processExitsAtOnce();
    void lineBreakInCredentialsIsRefused_data();
    void lineBreakInCredentialsIsRefused();
    void destroyedWhileConnected();
    void managementNeverOpens();

private:
    // Waits until the stand-in has played its whole dialogue.
    bool dialogueDone() const { return fake.record().contains(QStringLiteral("#dialogue done")); }

    const FakeOpenVpn &fake;
};

void TestOpenVpn::initTestCase()
{
    QVERIFY2(fake.isValid(), qPrintable(fake.reason()));
    NOXEL_REQUIRE_OPENVPN_CHILD();
    qRegisterMetaType<VpnConnection::State>("VpnConnection::State");
}

void TestOpenVpn::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QProcess: Destroyed while process")));
    fake.clearRecord();
    fake.setMode(QStringLiteral("serve"));
    fake.setDialogue({});
    QDir(configDirectory()).removeRecursively();
    NOXEL_WAIT_FOR_FIXED_PORT(OpenVpn::ManagementPort);
}

void TestOpenVpn::cleanup()
{
    // A stand-in left running is a fault of the driver; kill it either way.
    if (QTest::currentTestFailed())
        qInfo().noquote() << QStringLiteral("stand-in record:\n") + fake.record().join(QLatin1Char('\n'));
    const QList<qint64> left
        = fake.running(QStringLiteral("openvpn")) + fake.running(QStringLiteral("stunnel4"));
    fake.killAll();
    QVERIFY2(left.isEmpty(), "a stand-in outlived its driver");
}

void TestOpenVpn::connects_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("userCommand");
    QTest::addColumn<QString>("passwordCommand");
    QTest::addColumn<QString>("upLine");

    const QString byState
        = QStringLiteral("send >STATE:1700000005,CONNECTED,SUCCESS,10.8.0.6,127.0.0.1,443,,");
    QTest::newRow("state CONNECTED") << UserName << Password
                                     << QStringLiteral("username \"Auth\" \"%1\"").arg(UserName)
                                     << QStringLiteral("password \"Auth\" \"%1\"").arg(Password) << byState;
    QTest::newRow("log Initialization Sequence Completed")
        << UserName << Password << QStringLiteral("username \"Auth\" \"%1\"").arg(UserName)
        << QStringLiteral("password \"Auth\" \"%1\"").arg(Password) << Completed;
    QTest::newRow("double quote in user name")
        << QStringLiteral("al\"ice-4711") << Password
        << QStringLiteral("username \"Auth\" \"al\\\"ice-4711\"")
        << QStringLiteral("password \"Auth\" \"%1\"").arg(Password) << byState;
    QTest::newRow("backslash and quote in password")
        << UserName << QStringLiteral("C:\\tmp\"x-93")
        << QStringLiteral("username \"Auth\" \"%1\"").arg(UserName)
        << QStringLiteral("password \"Auth\" \"C:\\\\tmp\\\"x-93\"") << byState;
    QTest::newRow("non-ASCII password in UTF-8")
        << UserName << QStringLiteral("pässwörd-€-318")
        << QStringLiteral("username \"Auth\" \"%1\"").arg(UserName)
        << QStringLiteral("password \"Auth\" \"pässwörd-€-318\"") << byState;
}

void TestOpenVpn::connects()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, userCommand);
    QFETCH(QString, passwordCommand);
    QFETCH(QString, upLine);

    const QStringList dialogue = FakeOpenVpn::handshakeUntilHold() + credentials(userCommand, passwordCommand)
        + QStringList { upLine };
    fake.setDialogue(dialogue);
    Session session;
    QVERIFY(
        session.vpn->open(VpnTest::server(), VpnTest::configuration(Vpn::OpenVpnTcp, username, password)));
    QTRY_COMPARE_WITH_TIMEOUT(
        session.events, (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected") }), 15000);
    QTRY_VERIFY(dialogueDone());
    QCOMPARE(fake.commands(), expectations(dialogue));
    QVERIFY(fake.record().contains(QStringLiteral("#password ok")));

    // Only the user may read the management password, and only while the tunnel runs.
    QVERIFY(QFileInfo::exists(passwordFile()));
    QCOMPARE(mode(passwordFile()), QStringLiteral("600"));
    QVERIFY(fake.record().contains(QStringLiteral("#pwmode 600")));
    QCOMPARE(mode(configDirectory()), QStringLiteral("700"));

    session.vpn->disconnect();
    QTRY_COMPARE_WITH_TIMEOUT(session.events,
        (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected"),
            QStringLiteral("Disconnecting"), QStringLiteral("Disconnected") }),
        15000);
    QCOMPARE(fake.commands().value(fake.commands().size() - 1), QStringLiteral("signal SIGTERM"));
    QVERIFY(!QFileInfo::exists(passwordFile()));

    // The credentials never reach the log; the commands that carry them do, masked.
    QTRY_VERIFY(session.logs().contains(QStringLiteral("username \"Auth\" ***")));
    QTRY_VERIFY(session.logs().contains(QStringLiteral("password \"Auth\" ***")));
    const QString logs = session.logs();
    QVERIFY2(!logs.contains(username), qPrintable(username));
    QVERIFY2(!logs.contains(password), qPrintable(password));
    QVERIFY(session.errorServers.isEmpty());
}

void TestOpenVpn::failures_data()
{
    QTest::addColumn<QStringList>("tail");
    // Commands after the credentials; a tunnel that survives its dialogue is then
    // ended by the test, which adds "signal SIGTERM".
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("survives");

    const QString connecting = QStringLiteral("Connecting");
    const QString connected = QStringLiteral("Connected");
    const QString disconnecting = QStringLiteral("Disconnecting");
    const QString disconnected = QStringLiteral("Disconnected");
    const QString sigterm = QStringLiteral("signal SIGTERM");

    QTest::newRow("verification failed")
        << QStringList { QStringLiteral("send >PASSWORD:Verification Failed: 'Auth'"), Sync, SyncAnswer }
        << QStringList { sigterm }
        << QStringList { connecting, QStringLiteral("error: ") + Refused, disconnecting, disconnected }
        << false;
    QTest::newRow("AUTH_FAILED")
        << QStringList { QStringLiteral("send >LOG:1700000005,E,AUTH: Received control message: AUTH_FAILED"),
               Sync, SyncAnswer }
        << QStringList { sigterm }
        << QStringList { connecting, QStringLiteral("error: ") + Refused, disconnecting, disconnected }
        << false;
    const QString tun = QStringLiteral(
        ">LOG:1700000005,E,Cannot open TUN/TAP dev /dev/net/tun: No such file or directory (errno=2)");
    QTest::newRow("no tun device") << QStringList { QStringLiteral("send ") + tun, Sync, SyncAnswer }
                                   << QStringList { sigterm }
                                   << QStringList { connecting, QStringLiteral("error: ") + tun,
                                          disconnecting, disconnected }
                                   << false;
    QTest::newRow("completed with errors")
        << QStringList { QStringLiteral(
                             "send >LOG:1700000005,I,Initialization Sequence Completed With Errors ( see "
                             "http://openvpn.net/faq.html#dhcpclientserv )"),
               Sync, SyncAnswer }
        << QStringList { sigterm } << QStringList { connecting, disconnecting, disconnected } << false;
    QTest::newRow("inactivity timeout") << QStringList { Completed,
        QStringLiteral("send >LOG:1700000100,I,Inactivity timeout (--ping-exit), exiting"), Sync, SyncAnswer }
                                        << QStringList { sigterm }
                                        << QStringList { connecting, connected, disconnecting, disconnected }
                                        << false;
    QTest::newRow("three resets before connecting")
        << QStringList { Reset, Reset, Reset, Sync, SyncAnswer } << QStringList { SyncCommand }
        << QStringList { connecting } << true;
    const QString fourResets
        = QStringLiteral("error: The VPN server closed the connection 4 times in a row.");
    QTest::newRow("four resets before connecting")
        << QStringList { Reset, Reset, Reset, Reset, Sync, SyncAnswer } << QStringList { sigterm }
        << QStringList { connecting, fourResets, disconnecting, disconnected } << false;
    QTest::newRow("two resets, up, three resets")
        << QStringList { Reset, Reset, Completed, Reset, Reset, Reset, Sync, SyncAnswer }
        << QStringList { SyncCommand } << QStringList { connecting, connected } << true;
    QTest::newRow("two resets, up, four resets")
        << QStringList { Reset, Reset, Completed, Reset, Reset, Reset, Reset, Sync, SyncAnswer }
        << QStringList { sigterm }
        << QStringList { connecting, connected, fourResets, disconnecting, disconnected } << false;
}

void TestOpenVpn::failures()
{
    QFETCH(QStringList, tail);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, events);
    QFETCH(bool, survives);

    const QStringList dialogue = FakeOpenVpn::handshakeUntilHold() + credentials() + tail;
    fake.setDialogue(dialogue);
    Session session;
    const VpnServer server = VpnTest::server();
    QVERIFY(session.vpn->open(server, VpnTest::configuration(Vpn::OpenVpnTcp)));
    if (survives) {
        QTRY_VERIFY_WITH_TIMEOUT(dialogueDone(), 15000);
        QCOMPARE(session.events, events);
        session.vpn->disconnect();
        events << QStringLiteral("Disconnecting") << QStringLiteral("Disconnected");
        commands << QStringLiteral("signal SIGTERM");
    }
    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 15000);
    QCOMPARE(session.events, events);
    QCOMPARE(fake.commands(), expectations(FakeOpenVpn::handshakeUntilHold() + credentials()) + commands);
    for (const VpnServer &reported : std::as_const(session.errorServers))
        QCOMPARE(reported.uid(), server.uid());
    QVERIFY(!QFileInfo::exists(passwordFile()));
}

void TestOpenVpn::stateNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("connecting");

    // A tunnel that reconnects carries nothing until it is up again.
    QTest::newRow("GET_CONFIG") << QStringLiteral("GET_CONFIG") << true;
    QTest::newRow("TCP_CONNECT") << QStringLiteral("TCP_CONNECT") << true;
    QTest::newRow("RESOLVE") << QStringLiteral("RESOLVE") << true;
    QTest::newRow("RECONNECTING") << QStringLiteral("RECONNECTING") << true;
    QTest::newRow("ASSIGN_IP") << QStringLiteral("ASSIGN_IP") << false;
    QTest::newRow("unknown name") << QStringLiteral("SOMETHING_NEW") << false;
}

void TestOpenVpn::stateNames()
{
    QFETCH(QString, name);
    QFETCH(bool, connecting);

    const QString up = QStringLiteral("send >STATE:1700000005,CONNECTED,SUCCESS,10.8.0.6,127.0.0.1,443,,");
    fake.setDialogue(FakeOpenVpn::handshakeUntilHold() + credentials()
        + QStringList {
            up, QStringLiteral("send >STATE:1700000006,%1,,,,,,").arg(name), up, Sync, SyncAnswer });
    Session session;
    QVERIFY(session.vpn->open(VpnTest::server(), VpnTest::configuration(Vpn::OpenVpnTcp)));
    QTRY_VERIFY_WITH_TIMEOUT(dialogueDone(), 15000);

    QStringList events { QStringLiteral("Connecting"), QStringLiteral("Connected") };
    if (connecting)
        events << QStringLiteral("Connecting") << QStringLiteral("Connected");
    QCOMPARE(session.events, events);
    QCOMPARE(session.stateNames,
        (QStringList { QStringLiteral("RESOLVE"), QStringLiteral("TCP_CONNECT"), QStringLiteral("WAIT"),
            QStringLiteral("AUTH"), QStringLiteral("CONNECTED"), name, QStringLiteral("CONNECTED") }));

    session.vpn->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 15000);
}

void TestOpenVpn::lateReportWhileDisconnecting_data()
{
    QTest::addColumn<QString>("line");

    QTest::newRow("RECONNECTING") << QStringLiteral("send >STATE:1700000010,RECONNECTING,SIGUSR1,,,,,");
    QTest::newRow("CONNECTED") << QStringLiteral(
        "send >STATE:1700000010,CONNECTED,SUCCESS,10.8.0.6,127.0.0.1,443,,");
}

// OpenVPN may report a state it reached before it read "signal SIGTERM": a tunnel
// that is being stopped goes on to Disconnected.
void TestOpenVpn::lateReportWhileDisconnecting()
{
    QFETCH(QString, line);

    fake.setDialogue(FakeOpenVpn::handshakeUntilHold() + credentials()
        + QStringList { Completed, QStringLiteral("waitfile ") + fake.gate(QStringLiteral("late")), line });
    Session session;
    QVERIFY(session.vpn->open(VpnTest::server(), VpnTest::configuration(Vpn::OpenVpnTcp)));
    QTRY_COMPARE_WITH_TIMEOUT(
        session.events, (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected") }), 15000);
    session.vpn->disconnect();
    QCOMPARE(session.events.value(2), QStringLiteral("Disconnecting"));
    fake.release(QStringLiteral("late"));
    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 15000);
    QCOMPARE(session.events,
        (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected"),
            QStringLiteral("Disconnecting"), QStringLiteral("Disconnected") }));
}

void TestOpenVpn::byteCounts()
{
    fake.setDialogue(connectedDialogue(
        { QStringLiteral("send >BYTECOUNT:1000,500"), QStringLiteral("send >BYTECOUNT:3000,800"),
            QStringLiteral("send >BYTECOUNT:3000,800"), Sync, SyncAnswer }));
    Session session;
    QVERIFY(session.vpn->open(VpnTest::server(), VpnTest::configuration(Vpn::OpenVpnTcp)));
    QTRY_VERIFY_WITH_TIMEOUT(dialogueDone(), 15000);
    QCOMPARE(session.bytes, (QList<QPair<qlonglong, qlonglong>> { { 1000, 500 }, { 2000, 300 }, { 0, 0 } }));
    session.vpn->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 15000);

    // A new tunnel counts from zero again.
    fake.clearRecord();
    fake.setDialogue(connectedDialogue({ QStringLiteral("send >BYTECOUNT:100,50"), Sync, SyncAnswer }));
    NOXEL_WAIT_FOR_FIXED_PORT(OpenVpn::ManagementPort);
    session.events.clear();
    QVERIFY(session.vpn->open(VpnTest::server(2), VpnTest::configuration(Vpn::OpenVpnUdp)));
    QTRY_VERIFY_WITH_TIMEOUT(dialogueDone(), 15000);
    QCOMPARE(session.bytes,
        (QList<QPair<qlonglong, qlonglong>> { { 1000, 500 }, { 2000, 300 }, { 0, 0 }, { 100, 50 } }));
    session.vpn->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 15000);

    // Counts are neither logged nor taken for states.
    QTRY_VERIFY(session.logs().contains(QStringLiteral("Initialization Sequence Completed")));
    QVERIFY(!session.logs().contains(QStringLiteral("BYTECOUNT")));
    const QStringList attempt { QStringLiteral("RESOLVE"), QStringLiteral("TCP_CONNECT"),
        QStringLiteral("WAIT"), QStringLiteral("AUTH") };
    QCOMPARE(session.stateNames, attempt + attempt);
}

void TestOpenVpn::unknownNotificationsLogged_data()
{
    QTest::addColumn<QString>("line");

    QTest::newRow("NEED-OK") << QStringLiteral(
        ">NEED-OK:Need 'token-insertion-request' confirmation MSG:Please insert your cryptographic token");
    QTest::newRow("notification with time") << QStringLiteral(">ECHO:1700000005,forget-passwords 4711");
}

void TestOpenVpn::unknownNotificationsLogged()
{
    QFETCH(QString, line);

    fake.setDialogue(
        FakeOpenVpn::handshakeUntilHold() + QStringList { QStringLiteral("send ") + line, Sync, SyncAnswer });
    Session session;
    QVERIFY(session.vpn->open(VpnTest::server(), VpnTest::configuration(Vpn::OpenVpnTcp)));
    QTRY_VERIFY_WITH_TIMEOUT(dialogueDone(), 15000);
    QTRY_VERIFY(session.core->logManager()->data(LogManager::OpenVpnLevel).contains(line.toLatin1()));
    QTRY_VERIFY(session.lines.join(QLatin1Char('\n')).contains(line));
    QCOMPARE(session.events, QStringList { QStringLiteral("Connecting") });
    QCOMPARE(fake.commands(), expectations(FakeOpenVpn::handshakeUntilHold()) + QStringList { SyncCommand });
    session.vpn->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 15000);
}

void TestOpenVpn::openRefusedWhileManaged()
{
    fake.setDialogue(connectedDialogue());
    Session session;
    QVERIFY(session.vpn->open(VpnTest::server(), VpnTest::configuration(Vpn::OpenVpnTcp)));
    QTRY_COMPARE_WITH_TIMEOUT(
        session.events, (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected") }), 15000);
    QTRY_VERIFY(dialogueDone());

    const QString config = configDirectory() + QStringLiteral("/config.ovpn");
    const QByteArray configText = readFile(config);
    const QDateTime configTime = QFileInfo(config).lastModified();
    const QByteArray password = readFile(passwordFile());
    const QStringList files = QDir(configDirectory()).entryList(QDir::Files);
    QVERIFY(!password.isEmpty());

    QVERIFY(!session.vpn->open(VpnTest::server(2), VpnTest::configuration(Vpn::OpenVpnUdp)));
    QCOMPARE(readFile(config), configText);
    QCOMPARE(QFileInfo(config).lastModified(), configTime);
    QCOMPARE(readFile(passwordFile()), password);
    QCOMPARE(QDir(configDirectory()).entryList(QDir::Files), files);
    QCOMPARE(fake.starts(), 1);
    QCOMPARE(session.events, (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected") }));

    session.vpn->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 15000);
    QCOMPARE(fake.starts(), 1);
}

void TestOpenVpn::configurationFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("writtenAs");
    // Without the management lines, which every text resource gets.
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("text");

    QTest::newRow("text with host name and local port")
        << QStringLiteral("extra.conf") << QStringLiteral("text")
        << QByteArray("remote __HOST_NAME__ __LOCAL_PORT__\n# __HOST_NAME__ again\n")
        << QStringLiteral("extra.conf")
        << QByteArray("remote vpn1.noxel.invalid 1081\n# vpn1.noxel.invalid again\n") << true;
    const QByteArray binary("\x30\x82\x01\x0a__HOST_NAME__\xff\x00\xfe__LOCAL_PORT__\r\n", 30);
    QTest::newRow("binary unchanged")
        << QStringLiteral("ca.der") << QString() << binary << QStringLiteral("ca.der") << binary << false;
    QTest::newRow("folders dropped from the name")
        << QStringLiteral("../../escape.key") << QString() << QByteArray("key 4711")
        << QStringLiteral("escape.key") << QByteArray("key 4711") << false;
}

void TestOpenVpn::configurationFiles()
{
    QFETCH(QString, fileName);
    QFETCH(QString, encoding);
    QFETCH(QByteArray, content);
    QFETCH(QString, writtenAs);
    QFETCH(QByteArray, expected);
    QFETCH(bool, text);

    fake.setDialogue(FakeOpenVpn::handshakeUntilHold());
    Session session(VpnTest::standardResources()
        + QList<VpnResource> {
            VpnTest::resource(QStringLiteral("extra"), Vpn::OpenVpnTcp, fileName, content, encoding) });
    QVERIFY(session.vpn->open(VpnTest::server(), VpnTest::configuration(Vpn::OpenVpnTcp)));

    const QByteArray management = "\nmanagement 127.0.0.1 1111 \"" + QFile::encodeName(passwordFile())
        + "\"\nmanagement-hold\nmanagement-query-passwords\n";
    QCOMPARE(readFile(configDirectory() + QStringLiteral("/config.ovpn")),
        QByteArray("client\ndev tun\nproto tcp-client\nremote vpn1.noxel.invalid 443\n") + management);
    const QString written = configDirectory() + QLatin1Char('/') + writtenAs;
    QCOMPARE(readFile(written), text ? expected + management : expected);
    QCOMPARE(mode(written), QStringLiteral("600"));
    QVERIFY(!QFileInfo::exists(QDir(configDirectory()).absoluteFilePath(fileName)) || fileName == writtenAs);
    QCOMPARE(mode(configDirectory()), QStringLiteral("700"));
    QCOMPARE(mode(OpenVpn::logDirectory()), QStringLiteral("700"));
    QCOMPARE(mode(passwordFile()), QStringLiteral("600"));

    // OpenVPN is told where everything is, and where the management password lives.
    QTRY_VERIFY_WITH_TIMEOUT(!fake.arguments().isEmpty(), 15000);
    const QStringList arguments = fake.arguments();
    const int management_at = int(arguments.indexOf(QStringLiteral("--management")));
    QVERIFY(management_at >= 0);
    QCOMPARE(arguments.mid(management_at, 4),
        (QStringList { QStringLiteral("--management"), QStringLiteral("127.0.0.1"), QStringLiteral("1111"),
            passwordFile() }));
    const int config_at = int(arguments.indexOf(QStringLiteral("--config")));
    QVERIFY(config_at >= 0);
    QCOMPARE(arguments.value(config_at + 1), configDirectory() + QStringLiteral("/config.ovpn"));
    QVERIFY(arguments.contains(QStringLiteral("--management-hold")));
    QVERIFY(arguments.contains(QStringLiteral("--management-query-passwords")));

    QTRY_VERIFY_WITH_TIMEOUT(dialogueDone(), 15000);
    session.vpn->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 15000);
    QVERIFY(!QFileInfo::exists(passwordFile()));
}

void TestOpenVpn::processExitsAtOnce()
{
    fake.setMode(QStringLiteral("exit"));
    Session session;
    QVERIFY(session.vpn->open(VpnTest::server(), VpnTest::configuration(Vpn::OpenVpnTcp)));
    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 15000);
    // The user is told why, in plain words.
    const QStringList ended{QStringLiteral("Connecting"),
                            QStringLiteral("error: OpenVPN stopped before the connection was made; the OpenVPN log "
                                           "says why."),
                            QStringLiteral("Disconnected")};
    QCOMPARE(session.events, ended);
    QVERIFY(fake.record().contains(QStringLiteral("#exit 1")));
    QVERIFY(!QFileInfo::exists(passwordFile()));
    // The retries meant for a slow start stay quiet once the process is gone.
    QTest::qWait(300);
    QCOMPARE(session.events, ended);

    // The driver is free for the next attempt.
    fake.setMode(QStringLiteral("serve"));
    fake.setDialogue(connectedDialogue());
    session.events.clear();
    QVERIFY(session.vpn->open(VpnTest::server(2), VpnTest::configuration(Vpn::OpenVpnTcp)));
    QTRY_COMPARE_WITH_TIMEOUT(
        session.events, (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected") }), 15000);
    session.vpn->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 15000);
}

void TestOpenVpn::lineBreakInCredentialsIsRefused_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::newRow("line feed in the password") << UserName << QStringLiteral("x\nsignal SIGTERM");
    QTest::newRow("carriage return in the user name") << QStringLiteral("al\rice") << Password;
}

void TestOpenVpn::lineBreakInCredentialsIsRefused()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    // Nothing after the prompt: a line break must never reach the management interface.
    fake.setDialogue(FakeOpenVpn::handshakeUntilHold()
                     + QStringList { QStringLiteral("send >PASSWORD:Need 'Auth' username/password") });
    Session session;
    QVERIFY(session.vpn->open(VpnTest::server(), VpnTest::configuration(Vpn::OpenVpnTcp, username, password)));
    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 15000);
    QVERIFY(session.events.contains(
        QStringLiteral("error: The VPN user name or password holds a line break and cannot be sent.")));
    for (const QString &command : fake.commands())
        QVERIFY2(!command.startsWith(QLatin1String("username")) && !command.startsWith(QLatin1String("password")),
                 qPrintable(command));
}

void TestOpenVpn::destroyedWhileConnected()
{
    fake.setDialogue(connectedDialogue());
    auto session = std::make_unique<Session>();
    QVERIFY(session->vpn->open(VpnTest::server(), VpnTest::configuration(Vpn::OpenVpnTcp)));
    QTRY_COMPARE_WITH_TIMEOUT(
        session->events, (QStringList { QStringLiteral("Connecting"), QStringLiteral("Connected") }), 15000);
    session.reset();
    QVERIFY(fake.record().contains(QStringLiteral("#SIGTERM")));
    QVERIFY(fake.running(QStringLiteral("openvpn")).isEmpty());
    QVERIFY(!QFileInfo::exists(passwordFile()));
}

// Ten attempts, one to nine seconds apart: about 45 seconds.
void TestOpenVpn::managementNeverOpens()
{
    fake.setMode(QStringLiteral("noport"));
    Session session;
    QVERIFY(session.vpn->open(VpnTest::server(), VpnTest::configuration(Vpn::OpenVpnTcp)));
    QTRY_VERIFY_WITH_TIMEOUT(fake.record().contains(QStringLiteral("#pwmode 600")), 15000);
    QVERIFY(!session.vpn->open(VpnTest::server(2), VpnTest::configuration(Vpn::OpenVpnUdp)));

    QTRY_VERIFY_WITH_TIMEOUT(session.ended(), 90000);
    QCOMPARE(session.events,
        (QStringList { QStringLiteral("Connecting"), QStringLiteral("error: ") + NoManagement,
            QStringLiteral("Disconnecting"), QStringLiteral("Disconnected") }));
    QCOMPARE(fake.starts(), 1);
    QVERIFY(fake.record().contains(QStringLiteral("#SIGTERM")));
    QVERIFY(!QFileInfo::exists(passwordFile()));
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
    qputenv(Mirrow::AddressesVariable, VpnTest::closedAddress().toUtf8());
    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    TestOpenVpn test(home, fake);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_openvpn.moc"
