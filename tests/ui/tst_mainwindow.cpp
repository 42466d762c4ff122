#include "core.h"
#include "fakeopenvpn.h"
#include "mainwindow.h"
#include "mirrow.h"
#include "openvpn.h"
#include "testhome.h"
#include "vpnclient.h"
#include "vpntest.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

// The main window as the user sees it when connecting fails: the connection engine
// runs the stand-in openvpn, whose server refuses the VPN password.

namespace {

QStringList refusedDialogue()
{
    return FakeOpenVpn::handshake(VpnTest::UserName, VpnTest::Password)
        + QStringList { QStringLiteral("send >PASSWORD:Verification Failed: 'Auth'") };
}

QList<QMessageBox *> visibleMessageBoxes()
{
    QList<QMessageBox *> boxes;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *box = qobject_cast<QMessageBox *>(window); box && box->isVisible())
            boxes << box;
    }
    return boxes;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

public:
    TestMainWindow(const TestHome &, const FakeOpenVpn &fake)
        : fake(fake)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectionErrorShownOnce_data();
    void connectionErrorShownOnce();

private:
    // Starts an attempt that the server refuses and waits until the engine is idle again.
    bool failOnce(Core &core, int server, Vpn::Protocol protocol);

    const FakeOpenVpn &fake;
};

void TestMainWindow::initTestCase()
{
    QVERIFY2(fake.isValid(), qPrintable(fake.reason()));
}

void TestMainWindow::init()
{
    NOXEL_REQUIRE_OPENVPN_CHILD();
    QSettings().clear();
    fake.clearRecord();
    fake.setMode(QStringLiteral("serve"));
    fake.setDialogue(refusedDialogue());
}

void TestMainWindow::cleanup()
{
    const QList<qint64> left = fake.running(QStringLiteral("openvpn"));
    fake.killAll();
    QVERIFY2(left.isEmpty(), "a stand-in outlived its driver");
}

bool TestMainWindow::failOnce(Core &core, int server, Vpn::Protocol protocol)
{
    if (!VpnTest::waitForFreePort(OpenVpn::ManagementPort))
        return false;
    const int starts = fake.starts();
    VpnClient *client = core.vpnClient();
    if (!client->connectToServer(VpnTest::server(server), VpnTest::configuration(protocol)))
        return false;
    return QTest::qWaitFor([&] { return fake.starts() > starts && !client->hasConnection(); }, 20000);
}

void TestMainWindow::connectionErrorShownOnce_data()
{
    QTest::addColumn<Vpn::Protocol>("protocol");
    QTest::newRow("OpenVPN TCP") << Vpn::OpenVpnTcp;
    QTest::newRow("OpenVPN UDP") << Vpn::OpenVpnUdp;
}

void TestMainWindow::connectionErrorShownOnce()
{
    QFETCH(Vpn::Protocol, protocol);

    Core core;
    VpnTest::setResources(&core, VpnTest::standardResources());
    MainWindow window(&core);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(failOnce(core, 1, protocol));
    QTRY_COMPARE(visibleMessageBoxes().size(), 1);
    QMessageBox *first = visibleMessageBoxes().constFirst();
    QCOMPARE(first->icon(), QMessageBox::Warning);
    QVERIFY2(first->text().contains(VpnTest::server(1).host()), qPrintable(first->text()));
    QCOMPARE(first->informativeText(), QStringLiteral("The VPN server refused the VPN user name or password."));

    // A second failure while the first is still on screen waits its turn.
    QVERIFY(failOnce(core, 2, protocol));
    QTest::qWait(500);
    QCOMPARE(visibleMessageBoxes(), QList<QMessageBox *> { first });

    first->button(QMessageBox::Ok)->click();
    QTRY_COMPARE(visibleMessageBoxes().size(), 1);
    QMessageBox *second = visibleMessageBoxes().constFirst();
    QVERIFY2(second->text().contains(VpnTest::server(2).host()), qPrintable(second->text()));
    second->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(visibleMessageBoxes().isEmpty());
    QTest::qWait(300);
    QVERIFY(visibleMessageBoxes().isEmpty());
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
    qputenv("NOXEL_TUN_DEVICE", QFile::encodeName(fake.path() + QStringLiteral("/tun")));
    QFile tun(fake.path() + QStringLiteral("/tun"));
    if (!tun.open(QIODevice::WriteOnly))
        return 1;
    tun.close();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    // No provider: the session's requests go nowhere, as when offline.
    qputenv(Mirrow::AddressesVariable, VpnTest::closedAddress().toUtf8());
    TestMainWindow test(home, fake);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
