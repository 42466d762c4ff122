#include "configuration.h"
#include "core.h"
#include "eventloopwatchdog.h"
#include "fakeopenvpn.h"
#include "fixedport.h"
#include "mainwindow.h"
#include "mirrow.h"
#include "openvpn.h"
#include "providersimulator.h"
#include "testhome.h"
#include "vpnclient.h"
#include "vpnmanager.h"
#include "vpntest.h"

#include <QApplication>
#include <QJsonArray>
#include <QSettings>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

// The main window keeps answering while the heavy things happen: a list of ten
// thousand servers arrives from the provider simulator, every server is pinged (all
// of them on loopback) and a connection is made with the stand-in openvpn. A
// watchdog on the event loop fails the test when the window is kept from its events
// longer than the limit at any point of it.

namespace {

constexpr int ServerCount = 10000;
constexpr qint64 LimitMs = 100;

// A build with AddressSanitizer runs several times slower: its times say nothing of
// the program's, and the test then only reports them.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool Instrumented = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Instrumented = true;
#else
constexpr bool Instrumented = false;
#endif
#else
constexpr bool Instrumented = false;
#endif

const QString VpnUser = u"vpn-demo"_s;
const QString VpnPassword = u"vpn-demo-password"_s;

QJsonObject providerData()
{
    QJsonObject data = ProviderSimulator::demoData();
    const QList<QPair<QString, QString>> countries { { u"DE"_s, u"Germany"_s }, { u"US"_s, u"United States"_s },
        { u"NL"_s, u"Netherlands"_s }, { u"JP"_s, u"Japan"_s }, { u"BR"_s, u"Brazil"_s } };
    QJsonArray servers;
    for (int i = 0; i < ServerCount; ++i) {
        const auto &[code, country] = countries.at(i % countries.size());
        const QString address = u"127.1.%1.%2"_s.arg(i / 250).arg(i % 250 + 1);
        servers.append(QJsonObject { { u"uid"_s, u"srv-%1"_s.arg(i) },
            { u"host"_s, u"srv%1.noxel.invalid"_s.arg(i) }, { u"address"_s, address },
            { u"capacity"_s, 10 + i % 90 }, { u"provider"_s, 0 },
            { u"location"_s,
                QJsonObject { { u"name"_s, u"City %1"_s.arg(i % 700) }, { u"lng"_s, -179.0 + (i * 37) % 358 },
                    { u"lat"_s, -60.0 + (i * 13) % 130 } } },
            { u"country"_s, QJsonObject { { u"code"_s, code }, { u"name"_s, country } } },
            { u"stealth"_s, QJsonObject { { u"address"_s, address }, { u"port"_s, 443 } } } });
    }
    data.insert("servers"_L1, servers);
    data.insert("resources"_L1,
        QJsonArray { QJsonObject { { u"key"_s, u"config"_s }, { u"provider"_s, 0 }, { u"protocol"_s, u"ovpn_udp"_s },
            { u"file_name"_s, u"config.ovpn"_s }, { u"encoding"_s, u"text"_s },
            { u"content"_s, u"client\ndev tun\nproto udp\nremote __HOST_NAME__ 1194\n"_s } } });
    return data;
}

} // namespace

class TestResponsiveness : public QObject
{
    Q_OBJECT

public:
    explicit TestResponsiveness(const FakeOpenVpn &fake)
        : fake(fake)
    {
    }

private slots:
    void listPingsAndConnection();

private:
    const FakeOpenVpn &fake;
};

void TestResponsiveness::listPingsAndConnection()
{
    QVERIFY2(fake.isValid(), qPrintable(fake.reason()));
    NOXEL_REQUIRE_OPENVPN_CHILD();
    NOXEL_WAIT_FOR_FIXED_PORT(OpenVpn::ManagementPort);
    if (!EventLoopWatchdog::countsRunQueueWait())
        qWarning("this kernel does not count the time a thread waits for a processor: a loaded machine may fail "
                 "the test");
    fake.setMode(u"serve"_s);
    fake.setDialogue(FakeOpenVpn::handshake(VpnUser, VpnPassword)
        + QStringList { u"send >LOG:1700000005,I,Initialization Sequence Completed"_s });

    ProviderSimulator simulator;
    QVERIFY(simulator.start(providerData()));
    qputenv(Mirrow::AddressesVariable, simulator.address().toUtf8());
    QSettings().clear();
    QSettings().setValue(u"language"_s, u"en"_s);

    auto core = std::make_unique<Core>();
    QVERIFY(core->initialize());
    core->configuration()->setCredentials(u"demo"_s, u"demo-password"_s);
    core->configuration()->setWizardCompleted(true);
    VpnManager *catalogue = core->vpnManager();
    // The window signs in with the stored account shortly after it is shown.
    EventLoopWatchdog watchdog;
    auto window = std::make_unique<MainWindow>(core.get());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    watchdog.start();
    watchdog.setStage(u"the server list arrives"_s);
    QTRY_COMPARE_WITH_TIMEOUT(catalogue->count(), ServerCount, 60000);
    watchdog.setStage(u"the servers are pinged"_s);
    QTRY_VERIFY_WITH_TIMEOUT(catalogue->isReady(), 240000);

    watchdog.setStage(u"a connection is made"_s);
    VpnClient *client = core->vpnClient();
    QVERIFY(client->connectToServer(
        catalogue->server(ServerCount / 2), VpnTest::configuration(Vpn::OpenVpnUdp, VpnUser, VpnPassword)));
    QTRY_COMPARE_WITH_TIMEOUT(client->state(), VpnConnection::Connected, 30000);
    watchdog.setStage(u"the connection is closed"_s);
    client->disconnect();
    QTRY_COMPARE_WITH_TIMEOUT(client->state(), VpnConnection::Disconnected, 30000);
    watchdog.stop();

    qInfo("longest block of the event loop: %lld ms (%s)", watchdog.longestBlockMs(),
        qPrintable(watchdog.longestBlockStage()));
    window.reset();
    core.reset();
    QTRY_VERIFY_WITH_TIMEOUT(fake.running(u"openvpn"_s).isEmpty(), 10000);
    if (Instrumented)
        QSKIP("a sanitizer build is too slow for the limit: the time above is only reported");
    QVERIFY2(watchdog.longestBlockMs() <= LimitMs,
        qPrintable(u"the event loop was blocked %1 ms while %2"_s.arg(watchdog.longestBlockMs())
                       .arg(watchdog.longestBlockStage())));
}

int main(int argc, char *argv[])
{
    TestHome home;
    if (!home.isValid()) {
        qCritical("cannot set up a temporary home");
        return 1;
    }
    FakeOpenVpn fake;
    if (!fake.provideTunDevice())
        return 1;
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setOrganizationName(u"Noxel"_s);
    QCoreApplication::setApplicationName(u"Noxel"_s);
    TestResponsiveness test(fake);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_responsiveness.moc"
