#include "connectbutton.h"
#include "core.h"
#include "headpanel.h"
#include "hidpi.h"
#include "ipchangewidget.h"
#include "testhome.h"

#include <QApplication>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QtTest>

// The head panel as the user sees it: what its right and left sides say in each
// connection state, and the connect button's colours and clicks.

namespace {

GeoIp geoIp(const QString &code, const QString &location, const QString &address)
{
    Country country;
    country.setCode(code);
    GeoIp geoIp;
    geoIp.setCountry(country);
    geoIp.setLocation(location);
    geoIp.setAddress(address);
    return geoIp;
}

const QColor Green(0, 153, 0);
const QColor Red(153, 0, 9);
const QColor White(Qt::white);

bool near(QRgb pixel, const QColor &expected)
{
    return qAbs(qRed(pixel) - expected.red()) <= 8 && qAbs(qGreen(pixel) - expected.green()) <= 8
        && qAbs(qBlue(pixel) - expected.blue()) <= 8;
}

// Nothing but the white background in `area` (in the widget's pixels).
bool isBlank(const QImage &image, const QRect &area)
{
    const qreal ratio = image.devicePixelRatio();
    const QRect pixels(area.topLeft() * ratio, area.size() * ratio);
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return false;
        }
    }
    return true;
}

QString describe(QRgb pixel)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(pixel)).arg(qGreen(pixel)).arg(qBlue(pixel));
}

} // namespace

using States = QList<VpnConnection::State>;

class TestHeadPanel : public QObject
{
    Q_OBJECT

public:
    explicit TestHeadPanel(const TestHome &) { }

private slots:
    void initTestCase();
    void cleanupTestCase();

    void texts_data();
    void texts();
    void buttonColors_data();
    void buttonColors();
    void buttonClicks();

private:
    std::unique_ptr<Core> core;
};

void TestHeadPanel::initTestCase()
{
    core = std::make_unique<Core>();
}

void TestHeadPanel::cleanupTestCase()
{
    core.reset();
}

void TestHeadPanel::texts_data()
{
    QTest::addColumn<States>("states");
    // Arrives after the first state.
    QTest::addColumn<QString>("stateString");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<bool>("originalKnown");
    QTest::addColumn<bool>("vpnKnown");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QStringList>("right");
    QTest::addColumn<bool>("red");

    const QStringList waiting { QStringLiteral("Please wait ..."), QStringLiteral("Determening IP") };
    const QString visible = QStringLiteral("Visible Location:");
    const QStringList seen { visible, QStringLiteral("Berlin"), QStringLiteral("IP: 198.51.100.23") };
    const QStringList notConnected { QStringLiteral("Not connected"),
        QStringLiteral("Please select a location") };

    QTest::newRow("first start") << States { VpnConnection::Disconnected } << QString() << 0 << false << false
                                 << (QStringList { visible } + waiting) << notConnected << true;
    QTest::newRow("disconnected") << States { VpnConnection::Disconnected } << QString() << 0 << true << false
                                  << seen << notConnected << true;
    QTest::newRow("connecting") << States { VpnConnection::Connecting } << QString() << 0 << true << false
                                << seen << QStringList { QStringLiteral("Connecting ") } << false;
    QTest::newRow("connecting, one dot")
        << States { VpnConnection::Connecting } << QString() << 1 << true << false << seen
        << QStringList { QStringLiteral("Connecting .") } << false;
    QTest::newRow("connecting, three dots")
        << States { VpnConnection::Connecting } << QString() << 3 << true << false << seen
        << QStringList { QStringLiteral("Connecting ...") } << false;
    QTest::newRow("connecting, dots again")
        << States { VpnConnection::Connecting } << QString() << 6 << true << false << seen
        << QStringList { QStringLiteral("Connecting ..") } << false;
    QTest::newRow("OpenVPN's progress")
        << States { VpnConnection::Connecting } << QStringLiteral("Authenticating") << 2 << true << false
        << seen << QStringList { QStringLiteral("Authenticating..") } << false;
    QTest::newRow("progress of an attempt that ended")
        << States { VpnConnection::Connecting, VpnConnection::Disconnected, VpnConnection::Connecting }
        << QStringLiteral("Authenticating") << 0 << true << false << seen
        << QStringList { QStringLiteral("Connecting ") } << false;
    QTest::newRow("progress while disconnected")
        << States { VpnConnection::Disconnected } << QStringLiteral("Authenticating") << 0 << true << false
        << seen << notConnected << true;
    QTest::newRow("disconnecting") << States { VpnConnection::Disconnecting } << QString() << 2 << true
                                   << false << seen << QStringList { QStringLiteral("Disconnecting ..") }
                                   << true;
    QTest::newRow("connected, before the VPN's geo-IP")
        << States { VpnConnection::Connecting, VpnConnection::Connected } << QString() << 0 << true << false
        << seen << waiting << false;
    QTest::newRow("connected") << States { VpnConnection::Connecting, VpnConnection::Connected } << QString()
                               << 0 << true << true
                               << QStringList { QStringLiteral("Hidden Location:"), QStringLiteral("Berlin"),
                                      QStringLiteral("IP: 198.51.100.23") }
                               << QStringList { visible, QStringLiteral("Amsterdam"),
                                      QStringLiteral("IP: 203.0.113.77") }
                               << false;
    QTest::newRow("disconnecting from a known address")
        << States { VpnConnection::Connected, VpnConnection::Disconnecting } << QString() << 0 << true << true
        << QStringList { QStringLiteral("Hidden Location:"), QStringLiteral("Berlin"),
               QStringLiteral("IP: 198.51.100.23") }
        << QStringList { QStringLiteral("Disconnecting ") } << false;
}

void TestHeadPanel::texts()
{
    QFETCH(States, states);
    QFETCH(QString, stateString);
    QFETCH(int, ticks);
    QFETCH(bool, originalKnown);
    QFETCH(bool, vpnKnown);
    QFETCH(QStringList, left);
    QFETCH(QStringList, right);
    QFETCH(bool, red);

    HeadPanel panel(core.get());
    auto *widget = panel.findChild<IpChangeWidget *>();
    QVERIFY(widget);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    // The panel listens to the core by itself.
    if (originalKnown)
        emit core->originalIpChanged(
            geoIp(QStringLiteral("DE"), QStringLiteral("Berlin"), QStringLiteral("198.51.100.23")));
    if (vpnKnown)
        emit core->vpnIpChanged(
            geoIp(QStringLiteral("NL"), QStringLiteral("Amsterdam"), QStringLiteral("203.0.113.77")));
    for (int i = 0; i < states.size(); ++i) {
        widget->vpnConnectionStateChanged(states.at(i));
        if (i == 0 && !stateString.isEmpty())
            widget->vpnConnectionStateStringChanged(stateString);
    }
    for (int i = 0; i < ticks; ++i)
        widget->updateText();

    QCOMPARE(widget->leftTexts(), left);
    QCOMPARE(widget->rightTexts(), right);
    QCOMPARE(widget->rightTextColor(), red ? QColor(153, 0, 0) : QColor(Qt::black));
    // A flag for where the user is seen from once that is known, and always one
    // (at least the blank one) for where the user will appear.
    const QImage image = panel.grab().toImage();
    const int flagSize = mHiDpiSize(64);
    const QPoint origin = widget->mapTo(&panel, QPoint(0, (widget->height() - flagSize) / 2));
    const QRect leftFlag(origin + QPoint(mHiDpiSize(4), 0), QSize(flagSize, flagSize));
    const QRect rightFlag(
        origin + QPoint(widget->width() - mHiDpiSize(4) - flagSize, 0), QSize(flagSize, flagSize));
    QCOMPARE(!isBlank(image, leftFlag), originalKnown);
    QVERIFY(!isBlank(image, rightFlag));
    emit core->originalIpChanged(GeoIp());
    emit core->vpnIpChanged(GeoIp());
}

void TestHeadPanel::buttonColors_data()
{
    QTest::addColumn<VpnConnection::State>("state");
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<QColor>("ring");
    QTest::addColumn<QColor>("fill");
    QTest::addColumn<QColor>("symbol");

    QTest::newRow("disconnected") << VpnConnection::Disconnected << false << Green << White << Green;
    QTest::newRow("disconnected, hovered") << VpnConnection::Disconnected << true << Green << Green << White;
    QTest::newRow("connecting") << VpnConnection::Connecting << false << Red << White << Red;
    QTest::newRow("connecting, hovered") << VpnConnection::Connecting << true << Red << Red << White;
    QTest::newRow("connected") << VpnConnection::Connected << false << Red << White << Red;
    QTest::newRow("disconnecting, hovered") << VpnConnection::Disconnecting << true << Red << Red << White;
}

void TestHeadPanel::buttonColors()
{
    QFETCH(VpnConnection::State, state);
    QFETCH(bool, hovered);
    QFETCH(QColor, ring);
    QFETCH(QColor, fill);
    QFETCH(QColor, symbol);

    HeadPanel panel(core.get());
    auto *button = panel.findChild<ConnectButton *>();
    QVERIFY(button);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QCOMPARE(button->size(), mHiDpiSize(42, 42));

    panel.vpnConnectionStateChanged(state);
    if (hovered) {
        const QPointF centre = QRectF(button->rect()).center();
        QEnterEvent enter(centre, button->mapTo(&panel, centre), button->mapToGlobal(centre));
        QApplication::sendEvent(button, &enter);
    }
    const QImage image = button->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    auto pixel = [&](int x, int y) { return image.pixel(QPoint(qRound(x * ratio), qRound(y * ratio))); };

    const int pen = mHiDpiSize(4);
    const int middle = button->width() / 2;
    const int symbolTop = (button->height() - mHiDpiSize(20)) / 2;
    // On the ring's middle line, between the ring and the symbol, in the symbol.
    const QRgb ringPixel = pixel(middle, pen / 2);
    const QRgb fillPixel = pixel(middle, (pen + symbolTop) / 2);
    const QRgb symbolPixel = pixel(middle + mHiDpiSize(1), button->height() / 2);
    QVERIFY2(near(ringPixel, ring), qPrintable(describe(ringPixel)));
    QVERIFY2(near(fillPixel, fill), qPrintable(describe(fillPixel)));
    QVERIFY2(near(symbolPixel, symbol), qPrintable(describe(symbolPixel)));
}

void TestHeadPanel::buttonClicks()
{
    HeadPanel panel(core.get());
    auto *button = panel.findChild<ConnectButton *>();
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QSignalSpy clicked(&panel, &HeadPanel::connectButtonClicked);

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
    // Only the left button clicks, and only when released over the button.
    QTest::mouseClick(button, Qt::RightButton);
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(button->width() + 5, button->height() / 2));
    QCOMPARE(clicked.size(), 1);
}

NOXEL_APP_TEST_MAIN(TestHeadPanel)

#include "tst_headpanel.moc"
