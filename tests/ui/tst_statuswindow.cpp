#include "bandwidthwidget.h"
#include "connectionwidget.h"
#include "core.h"
#include "hidpi.h"
#include "iconwidget.h"
#include "serverwidget.h"
#include "statuswindow.h"
#include "testhome.h"
#include "trafficmanager.h"
#include "vpnclient.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QtTest>

// The floating status window: what its location part says, where it appears,
// which parts it shows, its menu, and the bandwidth charts it carries.

namespace {

GeoIp amsterdam()
{
    Country country;
    country.setCode(QStringLiteral("NL"));
    GeoIp geoIp;
    geoIp.setCountry(country);
    geoIp.setLocation(QStringLiteral("Amsterdam"));
    geoIp.setAddress(QStringLiteral("203.0.113.77"));
    return geoIp;
}

QPoint defaultPosition(const QWidget &window)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize frame = window.frameGeometry().size();
    return QPoint(area.x() + area.width() - frame.width() - mHiDpiSize(20),
        area.y() + area.height() - frame.height() - mHiDpiSize(20));
}

QMenu *menuOf(const StatusWindow &window)
{
    return window.findChild<QMenu *>();
}

// A point of the download chart's colour (92, 184, 92) or its darker edge.
bool isGreen(QRgb pixel)
{
    return qGreen(pixel) - qRed(pixel) > 40 && qGreen(pixel) - qBlue(pixel) > 40;
}

} // namespace

using States = QList<VpnConnection::State>;

class TestStatusWindow : public QObject
{
    Q_OBJECT

public:
    explicit TestStatusWindow(const TestHome &) { }

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void serverTexts_data();
    void serverTexts();
    void position_data();
    void position();
    void parts_data();
    void parts();
    void disconnectAction_data();
    void disconnectAction();
    void hotspotOpensMenuOncePerHover();
    void chart_data();
    void chart();

private:
    std::unique_ptr<Core> core;
};

void TestStatusWindow::initTestCase()
{
    core = std::make_unique<Core>();
}

void TestStatusWindow::init()
{
    QSettings().clear();
}

void TestStatusWindow::cleanupTestCase()
{
    core.reset();
}

void TestStatusWindow::serverTexts_data()
{
    QTest::addColumn<States>("states");
    QTest::addColumn<QString>("stateString");
    QTest::addColumn<bool>("vpnKnown");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("red");

    QTest::newRow("disconnected") << States { VpnConnection::Disconnected } << QString() << false
                                  << QStringList { QStringLiteral("Not connected") } << true;
    QTest::newRow("connecting") << States { VpnConnection::Connecting } << QString() << false
                                << QStringList { QStringLiteral("Connecting ...") } << false;
    QTest::newRow("OpenVPN's progress")
        << States { VpnConnection::Connecting } << QStringLiteral("Authenticating") << false
        << QStringList { QStringLiteral("Authenticating") } << false;
    QTest::newRow("progress of an attempt that ended")
        << States { VpnConnection::Connecting, VpnConnection::Disconnected, VpnConnection::Connecting }
        << QStringLiteral("Authenticating") << false << QStringList { QStringLiteral("Connecting ...") }
        << false;
    QTest::newRow("disconnecting") << States { VpnConnection::Disconnecting } << QString() << false
                                   << QStringList { QStringLiteral("Disconnecting ...") } << true;
    QTest::newRow("connected, before the VPN's geo-IP")
        << States { VpnConnection::Connecting, VpnConnection::Connected } << QString() << false
        << QStringList { QStringLiteral("Please wait ..."), QStringLiteral("Determening IP") } << false;
    QTest::newRow("connected") << States { VpnConnection::Connecting, VpnConnection::Connected } << QString()
                               << true
                               << QStringList { QStringLiteral("Amsterdam"),
                                      QStringLiteral("IP: 203.0.113.77") }
                               << false;
    QTest::newRow("disconnecting from a known address")
        << States { VpnConnection::Connected, VpnConnection::Disconnecting } << QString() << true
        << QStringList { QStringLiteral("Disconnecting ...") } << false;
}

void TestStatusWindow::serverTexts()
{
    QFETCH(States, states);
    QFETCH(QString, stateString);
    QFETCH(bool, vpnKnown);
    QFETCH(QStringList, lines);
    QFETCH(bool, red);

    QSettings().setValue(QStringLiteral("status_show_location"), true);
    StatusWindow window(core.get());
    auto *server = window.findChild<ServerWidget *>();
    QVERIFY(server);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    if (vpnKnown)
        emit core->vpnIpChanged(amsterdam());
    for (int i = 0; i < states.size(); ++i) {
        window.vpnConnectionStateChanged(states.at(i));
        if (i == 0 && !stateString.isEmpty())
            window.vpnConnectionStateStringChanged(stateString);
    }

    QCOMPARE(server->texts(), lines);
    QCOMPARE(server->textColor(), red ? QColor(153, 0, 0) : QColor(Qt::black));
    // Always a flag, the blank one when no country is known.
    const QImage image = server->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const QPoint flagCentre(mHiDpiSize(4) + mHiDpiSize(32) / 2, server->height() / 2);
    // The flag's upper half: the middle of a tricolour may be white.
    QVERIFY(image.pixel((flagCentre - QPoint(0, mHiDpiSize(6))) * ratio) != qRgb(255, 255, 255));
    emit core->vpnIpChanged(GeoIp());
}

void TestStatusWindow::position_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("atDefault");

    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QTest::newRow("first start") << QVariant() << true;
    QTest::newRow("(0, 0) stored") << QVariant(QPoint(0, 0)) << true;
    QTest::newRow("stored") << QVariant(area.topLeft() + QPoint(30, 40)) << false;
    QTest::newRow("half over the edge") << QVariant(area.topLeft() + QPoint(-20, 40)) << false;
    // The monitor it stood on was removed.
    QTest::newRow("right of every screen") << QVariant(QPoint(area.right() + 2000, area.top() + 40)) << true;
    QTest::newRow("above every screen") << QVariant(QPoint(area.left() + 30, area.top() - 3000)) << true;
}

void TestStatusWindow::position()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, atDefault);

    if (stored.isValid())
        QSettings().setValue(QStringLiteral("status_indicator_pos"), stored);
    StatusWindow window(core.get());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.pos(), atDefault ? defaultPosition(window) : stored.toPoint());

    // The position is stored only when asked to, and then found again.
    const QPoint moved = defaultPosition(window) - QPoint(15, 25);
    window.move(moved);
    QVERIFY(!stored.isValid() || QSettings().value(QStringLiteral("status_indicator_pos")) == stored);
    window.savePosition();
    QCOMPARE(QSettings().value(QStringLiteral("status_indicator_pos")).toPoint(), moved);
    window.moveToDefaultPosition();
    QTRY_COMPARE(window.pos(), defaultPosition(window));
    window.restorePosition();
    QTRY_COMPARE(window.pos(), moved);
}

void TestStatusWindow::parts_data()
{
    QTest::addColumn<bool>("location");
    QTest::addColumn<bool>("download");
    QTest::addColumn<bool>("upload");

    QTest::newRow("icon only") << false << false << false;
    QTest::newRow("location") << true << false << false;
    QTest::newRow("download") << false << true << false;
    QTest::newRow("upload") << false << false << true;
    QTest::newRow("both charts") << false << true << true;
    QTest::newRow("everything") << true << true << true;
}

void TestStatusWindow::parts()
{
    QFETCH(bool, location);
    QFETCH(bool, download);
    QFETCH(bool, upload);

    const int charts = int(download) + int(upload);
    const int chartPart = charts == 0 ? 0 : mHiDpiSize(5) * (charts + 1) + mHiDpiSize(100) * charts;
    const QSize expected(mHiDpiSize(40) + (location ? mHiDpiSize(220) : 0) + chartPart, mHiDpiSize(40));

    auto check = [&](StatusWindow &window) {
        const QList<BandwidthWidget *> bandwidth = window.findChildren<BandwidthWidget *>();
        QCOMPARE(bandwidth.size(), 2);
        QCOMPARE(window.findChild<ServerWidget *>()->isVisible(), location);
        QCOMPARE(bandwidth.at(0)->isVisible(), download);
        QCOMPARE(bandwidth.at(1)->isVisible(), upload);
        QCOMPARE(window.findChild<ConnectionWidget *>()->isVisible(), charts > 0);
        QCOMPARE(window.size(), expected);
        const QList<QAction *> actions = menuOf(window)->actions();
        QCOMPARE(actions.size(), 5);
        QCOMPARE(actions.at(2)->isChecked(), location);
        QCOMPARE(actions.at(3)->isChecked(), download);
        QCOMPARE(actions.at(4)->isChecked(), upload);
    };

    {
        StatusWindow window(core.get());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), mHiDpiSize(40, 40));
        // Through the menu, as the user chooses.
        const QList<QAction *> actions = menuOf(window)->actions();
        const bool wanted[] = { location, download, upload };
        for (int i = 0; i < 3; ++i) {
            if (wanted[i])
                actions.at(i + 2)->trigger();
        }
        check(window);
    }

    // The choices survive the window; the parts appear with the new one.
    StatusWindow again(core.get());
    QCOMPARE(again.size(), expected);
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    check(again);
    QTRY_COMPARE(again.pos(), defaultPosition(again));

    // Switching everything off leaves the icon.
    again.setShowLocation(false);
    again.setShowDownload(false);
    again.setShowUpload(false);
    QCOMPARE(again.size(), mHiDpiSize(40, 40));
    QVERIFY(!again.findChild<ConnectionWidget *>()->isVisible());
    QVERIFY(QSettings().allKeys().isEmpty());
}

void TestStatusWindow::disconnectAction_data()
{
    QTest::addColumn<VpnConnection::State>("state");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("disconnected") << VpnConnection::Disconnected << false;
    QTest::newRow("connecting") << VpnConnection::Connecting << true;
    QTest::newRow("connected") << VpnConnection::Connected << true;
    QTest::newRow("disconnecting") << VpnConnection::Disconnecting << false;
}

void TestStatusWindow::disconnectAction()
{
    QFETCH(VpnConnection::State, state);
    QFETCH(bool, enabled);

    StatusWindow window(core.get());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.vpnConnectionStateChanged(state);
    window.showContextMenu();
    QMenu *menu = menuOf(window);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("Disconnect"));
    QCOMPARE(menu->actions().at(0)->isEnabled(), enabled);
    // The state may change while the menu is open.
    window.vpnConnectionStateChanged(VpnConnection::Disconnected);
    QVERIFY(!menu->actions().at(0)->isEnabled());
    menu->hide();
}

void TestStatusWindow::hotspotOpensMenuOncePerHover()
{
    StatusWindow window(core.get());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *icon = window.findChild<IconWidget *>();
    QMenu *menu = menuOf(window);

    auto enter = [&] {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), icon->mapToGlobal(QPointF(1, 1)));
        QApplication::sendEvent(icon, &event);
    };
    auto moveTo = [&](QPoint point) {
        QMouseEvent event(
            QEvent::MouseMove, point, icon->mapToGlobal(point), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(icon, &event);
    };
    const QPoint corner(icon->width() - mHiDpiSize(3), icon->height() - mHiDpiSize(3));

    enter();
    moveTo(QPoint(icon->width() / 2, icon->height() / 2));
    QVERIFY(!menu->isVisible());
    moveTo(corner);
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
    moveTo(corner - QPoint(1, 1));
    QTest::qWait(50);
    QVERIFY(!menu->isVisible());
    enter();
    moveTo(corner);
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
}

void TestStatusWindow::chart_data()
{
    QTest::addColumn<QList<qlonglong>>("seconds");

    QTest::newRow("no traffic") << QList<qlonglong> {};
    QTest::newRow("steady") << QList<qlonglong>(12, 50000);
    QTest::newRow("a peak") << (QList<qlonglong>(30, 900)
        << 2000000 << 2000000 << 2000000 << 2000000 << 2000000);
    QTest::newRow("above 32 bits") << QList<qlonglong>(6, 6000000000LL);
}

void TestStatusWindow::chart()
{
    QFETCH(QList<qlonglong>, seconds);

    BandwidthWidget chart(core.get());
    chart.setDownload(true);
    chart.setFixedSize(mHiDpiSize(100, 32));
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));

    // Whole seconds of traffic, sampled at once so that the clock cannot split them.
    TrafficManager *traffic = core->vpnClient()->trafficManager();
    for (int i = 0; i < TrafficManager::HistoryLength; ++i)
        QMetaObject::invokeMethod(traffic, "updateRate");
    for (const qlonglong bytes : seconds) {
        traffic->addByteCount(QStringLiteral("nl-1"), Vpn::OpenVpnUdp, bytes, 0);
        QMetaObject::invokeMethod(traffic, "updateRate");
    }
    const QImage image = chart.grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const int w = image.width();
    const int h = image.height();

    // Right of the rate's text, the curve fills from the bottom up to its height.
    const int column = w - qRound(mHiDpiSize(2) * ratio);
    int top = h;
    for (int y = 0; y < h; ++y) {
        if (isGreen(image.pixel(column, y))) {
            top = y;
            break;
        }
    }
    if (seconds.isEmpty()) {
        // Flat on the bottom edge: nothing above the last two rows, anywhere right of the text.
        for (int x = w / 2; x < w; ++x) {
            for (int y = 0; y < h - 2; ++y)
                QVERIFY2(!isGreen(image.pixel(x, y)), qPrintable(QStringLiteral("at %1, %2").arg(x).arg(y)));
        }
        return;
    }
    // The highest second reaches 90 % of the height.
    QVERIFY2(qAbs(top - 0.1 * h) <= 1.5 * ratio, qPrintable(QString::number(top)));
    for (int y = top + 2; y < h; ++y)
        QVERIFY(isGreen(image.pixel(column, y)));
}

NOXEL_APP_TEST_MAIN(TestStatusWindow)

#include "tst_statuswindow.moc"
