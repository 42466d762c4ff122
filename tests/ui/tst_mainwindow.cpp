#include "configuration.h"
#include "connectionerrordialog.h"
#include "context.h"
#include "core.h"
#include "databasemanager.h"
#include "fakeopenvpn.h"
#include "fancytabbar.h"
#include "fixedport.h"
#include "fancytabwidget.h"
#include "logmanager.h"
#include "mainwindow.h"
#include "mirrow.h"
#include "openvpn.h"
#include "servervariables.h"
#include "testhome.h"
#include "vpnclient.h"
#include "vpntest.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QtTest>

#include <memory>

// The main window as the user sees it, on a desktop with a window manager and,
// where NOXEL_TEST_TRAY is 1, a tray host (tests/ui/run-desktop.sh makes both).
// The connection engine runs the stand-in openvpn.

namespace {

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

// Answers the next message box with the button, from the event loop it runs in.
void answerNextBox(QMessageBox::StandardButton button)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, button] {
        const QList<QMessageBox *> boxes = visibleMessageBoxes();
        if (boxes.isEmpty() || !boxes.constFirst()->button(button))
            return;
        boxes.constFirst()->button(button)->click();
        timer->deleteLater();
    });
    timer->start();
}

int trayMessageCounter()
{
    return QSettings().value(QStringLiteral("tray_message_counter"), 0).toInt();
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

    void closing_data();
    void closing();
    void secondStartBringsWindowBack();
    void trayIconBlinksWhileConnecting();
    void debugChord();
    void connectionErrorShownOnce_data();
    void connectionErrorShownOnce();
    void quitWithStuckTunnel();

private:
    // A core and its window, shown, with the connection engine's resources in place.
    void open();
    bool connectTo(int server, Vpn::Protocol protocol);
    // Starts an attempt that the server refuses and waits until the engine is idle again.
    bool failOnce(int server, Vpn::Protocol protocol);

    const FakeOpenVpn &fake;
    bool withTray = false;
    std::unique_ptr<Core> core;
    std::unique_ptr<MainWindow> window;
};

void TestMainWindow::initTestCase()
{
    QVERIFY2(fake.isValid(), qPrintable(fake.reason()));
    withTray = qEnvironmentVariable("NOXEL_TEST_TRAY") == QLatin1String("1");
    // The desktop this test runs on decides the window's behaviour: make sure it is the intended one.
    QTRY_COMPARE_WITH_TIMEOUT(MainWindow::hasSystemTray(), withTray, 10000);
}

void TestMainWindow::init()
{
    NOXEL_WAIT_FOR_FIXED_PORT(OpenVpn::ManagementPort);
    QSettings().clear();
    fake.clearRecord();
    fake.setMode(QStringLiteral("serve"));
    fake.setDialogue(connectedDialogue());
    qunsetenv("NOXEL_FAKE_OPENVPN_STUBBORN");
}

void TestMainWindow::cleanup()
{
    window.reset();
    core.reset();
    const QList<qint64> left = fake.running(QStringLiteral("openvpn"));
    fake.killAll();
    QVERIFY2(left.isEmpty(), "a stand-in outlived its driver");
}

void TestMainWindow::open()
{
    core = std::make_unique<Core>();
    VpnTest::setResources(core.get(), VpnTest::standardResources());
    window = std::make_unique<MainWindow>(core.get());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

bool TestMainWindow::connectTo(int server, Vpn::Protocol protocol)
{
    if (!VpnTest::canRunOpenVpnAsChild() || !VpnTest::waitForFreePort(OpenVpn::ManagementPort))
        return false;
    VpnClient *client = core->vpnClient();
    return client->connectToServer(VpnTest::server(server), VpnTest::configuration(protocol))
        && QTest::qWaitFor([client] { return client->state() == VpnConnection::Connected; }, 15000);
}

bool TestMainWindow::failOnce(int server, Vpn::Protocol protocol)
{
    if (!VpnTest::waitForFreePort(OpenVpn::ManagementPort))
        return false;
    const int starts = fake.starts();
    VpnClient *client = core->vpnClient();
    if (!client->connectToServer(VpnTest::server(server), VpnTest::configuration(protocol)))
        return false;
    return QTest::qWaitFor([&] { return fake.starts() > starts && !client->hasConnection(); }, 20000);
}

void TestMainWindow::closing_data()
{
    QTest::addColumn<bool>("closeToTray");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QMessageBox::StandardButton>("answer"); // to the warning; NoButton: none expected

    QTest::newRow("to the tray") << true << false << QMessageBox::NoButton;
    QTest::newRow("to the tray while connected: no warning") << true << true << QMessageBox::NoButton;
    QTest::newRow("quit") << false << false << QMessageBox::NoButton;
    QTest::newRow("quit while connected, user stays") << false << true << QMessageBox::No;
    QTest::newRow("quit while connected, user agrees") << false << true << QMessageBox::Yes;
}

void TestMainWindow::closing()
{
    QFETCH(bool, closeToTray);
    QFETCH(bool, connected);
    QFETCH(QMessageBox::StandardButton, answer);

    if (connected && !VpnTest::canRunOpenVpnAsChild())
        QSKIP("The driver starts openvpn itself only as root.");
    QSettings().setValue(QStringLiteral("close_to_tray"), closeToTray);
    open();
    QCOMPARE(core->configuration()->closeToTray(), closeToTray);
    if (connected)
        QVERIFY(connectTo(1, Vpn::OpenVpnTcp));
    QSignalSpy finished(window.get(), &MainWindow::finished);

    for (int occasion = 1; occasion <= 3; ++occasion) {
        if (answer != QMessageBox::NoButton)
            answerNextBox(answer);
        window->close();
        QTest::qWait(200);
        if (!closeToTray) {
            const bool quits = answer != QMessageBox::No;
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), quits ? 1 : 0, 15000);
            QCOMPARE(window->isVisible(), !quits);
            QCOMPARE(core->vpnClient()->hasConnection(), connected && !quits);
            QCOMPARE(trayMessageCounter(), 0);
            break;
        }
        // Closing only puts the window away: into the tray, or down where there is none.
        QCOMPARE(finished.count(), 0);
        QCOMPARE(core->vpnClient()->hasConnection(), connected);
        if (withTray) {
            QTRY_VERIFY(!window->isVisible());
            // The balloon is shown on the first two occasions ever.
            QCOMPARE(trayMessageCounter(), occasion);
        } else {
            QTRY_VERIFY2(window->isMinimized(), qPrintable(QStringLiteral("state %1 visible %2").arg(int(window->windowState())).arg(window->isVisible())));
            QCOMPARE(trayMessageCounter(), 0);
        }
        window->messageReceived(QString());
        QTRY_VERIFY(window->isVisible() && !window->isMinimized());
        // The window manager has handled the restore before the next close.
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    // The tray's Quit needs no warning, whatever the preferences.
    if (!finished.isEmpty())
        return;
    window->quit();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 15000);
    QVERIFY(visibleMessageBoxes().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!core->vpnClient()->hasConnection(), 15000);
}

void TestMainWindow::secondStartBringsWindowBack()
{
    QSettings().setValue(QStringLiteral("minimize_to_tray"), true);
    open();
    window->showMinimized();
    // With a tray the window leaves the task bar; without one it only goes down.
    QTRY_VERIFY(withTray ? !window->isVisible() : window->isMinimized());
    window->messageReceived(QStringLiteral("PING"));
    QTRY_VERIFY(window->isVisible());
    QVERIFY(!window->isMinimized());
}

void TestMainWindow::trayIconBlinksWhileConnecting()
{
    if (!VpnTest::canRunOpenVpnAsChild())
        QSKIP("The driver starts openvpn itself only as root.");
    const QString gate = fake.gate(QStringLiteral("connected"));
    QStringList dialogue = FakeOpenVpn::handshake(VpnTest::UserName, VpnTest::Password);
    dialogue << QStringLiteral("waitfile ") + gate
             << QStringLiteral("send >LOG:1700000005,I,Initialization Sequence Completed");
    fake.setDialogue(dialogue);
    open();
    auto *tray = window->findChild<QSystemTrayIcon *>();
    QVERIFY(tray);
    const qint64 disconnected = tray->icon().cacheKey();

    QVERIFY(VpnTest::waitForFreePort(OpenVpn::ManagementPort));
    QVERIFY(core->vpnClient()->connectToServer(VpnTest::server(1), VpnTest::configuration(Vpn::OpenVpnTcp)));
    QTRY_COMPARE_WITH_TIMEOUT(core->vpnClient()->state(), VpnConnection::Connecting, 15000);
    // While connecting the icon changes with every tick of the blink timer.
    QSet<qint64> seen;
    QTRY_VERIFY_WITH_TIMEOUT((seen.insert(tray->icon().cacheKey()), seen.size() >= 2), 5000);
    QVERIFY(seen.contains(disconnected));

    fake.release(QStringLiteral("connected"));
    QTRY_COMPARE_WITH_TIMEOUT(core->vpnClient()->state(), VpnConnection::Connected, 15000);
    const qint64 connected = tray->icon().cacheKey();
    QVERIFY(connected != disconnected);
    QTest::qWait(2500);
    QCOMPARE(tray->icon().cacheKey(), connected);

    core->vpnClient()->disconnect();
    QTRY_COMPARE_WITH_TIMEOUT(core->vpnClient()->state(), VpnConnection::Disconnected, 15000);
    QCOMPARE(tray->icon().cacheKey(), disconnected);
}

void TestMainWindow::debugChord()
{
    open();
    auto *tabs = window->findChild<FancyTabWidget *>();
    QVERIFY(tabs);
    const int before = tabs->count();
    for (int time = 0; time < 2; ++time) {
        // A window shortcut only reaches the active window.
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keySequence(window.get(), QKeySequence(Qt::CTRL | Qt::Key_D, Qt::CTRL | Qt::Key_B, Qt::CTRL | Qt::Key_G));
        QTRY_COMPARE(tabs->count(), before + 1);
        QCOMPARE(tabs->currentIndex(), before);
        QCOMPARE(tabs->tabBar()->tabText(before), QStringLiteral("Debug"));
        tabs->setCurrentIndex(0);
    }
    // A part of the chord alone does nothing.
    QTest::keySequence(window.get(), QKeySequence(Qt::CTRL | Qt::Key_D, Qt::CTRL | Qt::Key_G));
    QTest::qWait(100);
    QCOMPARE(tabs->currentIndex(), 0);
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

    if (!VpnTest::canRunOpenVpnAsChild())
        QSKIP("The driver starts openvpn itself only as root.");
    fake.setDialogue(refusedDialogue());
    open();

    const auto visibleErrors = [] {
        QList<ConnectionErrorDialog *> dialogs;
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (auto *dialog = qobject_cast<ConnectionErrorDialog *>(window); dialog && dialog->isVisible())
                dialogs << dialog;
        }
        return dialogs;
    };
    // Dismissed without a report: this test has no provider to take one.
    const auto dismiss = [](ConnectionErrorDialog *dialog) {
        dialog->findChild<QCheckBox *>()->setChecked(false);
        dialog->findChild<QPushButton *>()->click();
    };

    QVERIFY(failOnce(1, protocol));
    QTRY_COMPARE(visibleErrors().size(), 1);
    ConnectionErrorDialog *first = visibleErrors().constFirst();
    QCOMPARE(first->server().host(), VpnTest::server(1).host());
    QCOMPARE(first->message(), QStringLiteral("The VPN server refused the VPN user name or password."));

    // A second failure while the first is still on screen waits its turn.
    QVERIFY(failOnce(2, protocol));
    QTest::qWait(500);
    QCOMPARE(visibleErrors(), QList<ConnectionErrorDialog *> { first });

    dismiss(first);
    QTRY_COMPARE(visibleErrors().size(), 1);
    ConnectionErrorDialog *second = visibleErrors().constFirst();
    QCOMPARE(second->server().host(), VpnTest::server(2).host());
    dismiss(second);
    QTRY_VERIFY(visibleErrors().isEmpty());
    QTest::qWait(300);
    QVERIFY(visibleErrors().isEmpty());
    QCOMPARE(core->pendingErrorReports(), 0);
}

// An OpenVPN that never ends must not hold the quitting program, nor cost the statistics.
void TestMainWindow::quitWithStuckTunnel()
{
    if (!VpnTest::canRunOpenVpnAsChild())
        QSKIP("The driver starts openvpn itself only as root.");
    qputenv("NOXEL_FAKE_OPENVPN_STUBBORN", "1");
    open();
    core->context()->setVariables({ { VAR_STAT_ENABLED, true } });
    QVERIFY(connectTo(1, Vpn::OpenVpnUdp));

    QSignalSpy finished(window.get(), &MainWindow::finished);
    window->quit();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, MainWindow::DisconnectWaitMs + 20000);
    QVERIFY(fake.record().contains(QStringLiteral("signal SIGTERM")));
    // The connection's row is kept for the next start.
    const QList<ConnectionStat> stats = core->databaseManager()->takeStats();
    QCOMPARE(stats.size(), 1);
    QCOMPARE(stats.constFirst().serverUid(), QStringLiteral("s1"));
    QCOMPARE(stats.constFirst().status(), int(ConnectionStat::Connected));

    // The core's end ends the programs of the connection.
    window.reset();
    core.reset();
    QTRY_VERIFY_WITH_TIMEOUT(fake.running(QStringLiteral("openvpn")).isEmpty(), 10000);
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
    QApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    // No provider: the session's requests go nowhere, as when offline.
    qputenv(Mirrow::AddressesVariable, VpnTest::closedAddress().toUtf8());
    TestMainWindow test(home, fake);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
