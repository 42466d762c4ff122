#include "mirrowstyle.h"
#include "testhome.h"
#include "wineventfilter.h"

#include <QApplication>
#include <QtTest>

class TestWinEventFilter : public QObject
{
    Q_OBJECT

public:
    explicit TestWinEventFilter(const TestHome &) { }

private slots:
    void applyColor_data();
    void applyColor();
    void nativeEventsPassThrough();
};

void TestWinEventFilter::applyColor_data()
{
    QTest::addColumn<QRgb>("argb");
    // The bar colour: hue kept, 70 % of the saturation (rounded down), a third of the
    // value plus 64, opaque.
    QTest::addColumn<int>("barHue");
    QTest::addColumn<int>("barSaturation");
    QTest::addColumn<int>("barValue");

    QTest::newRow("program default") << QRgb(0xff73b9ff) << 210 << 98 << 149;
    QTest::newRow("half transparent red") << QRgb(0x80ff0000) << 0 << 178 << 149;
    QTest::newRow("dark green") << QRgb(0xff006600) << 120 << 178 << 98;
    QTest::newRow("grey has no hue") << QRgb(0xff808080) << -1 << 0 << 106;
    QTest::newRow("transparent black") << QRgb(0x00000000) << -1 << 0 << 64;
    QTest::newRow("white") << QRgb(0xffffffff) << -1 << 0 << 149;
    // Saturations where 0.7 in floating point falls just short of the whole number.
    QTest::newRow("saturation 90") << QRgb(0xffffa5a5) << 0 << 63 << 149;
    QTest::newRow("saturation 170") << QRgb(0xffff5555) << 0 << 119 << 149;
    QTest::newRow("saturation 180") << QRgb(0xffff4b4b) << 0 << 126 << 149;
}

void TestWinEventFilter::applyColor()
{
    QFETCH(QRgb, argb);
    QFETCH(int, barHue);
    QFETCH(int, barSaturation);
    QFETCH(int, barValue);

    WinEventFilter::applyColor(argb);

    const QColor accent = MirrowStyle::accentColor();
    QCOMPARE(accent, QColor::fromRgba(argb));
    QCOMPARE(accent.rgba(), argb);
    QCOMPARE(accent.alpha(), qAlpha(argb));

    const QColor bar = MirrowStyle::barColor().toHsv();
    QCOMPARE(bar.hsvHue(), barHue);
    QCOMPARE(bar.hsvSaturation(), barSaturation);
    QCOMPARE(bar.value(), barValue);
    QCOMPARE(bar.alpha(), 255);
}

void TestWinEventFilter::nativeEventsPassThrough()
{
    WinEventFilter filter;
    qintptr result = 0;
    QCOMPARE(filter.nativeEventFilter(QByteArrayLiteral("xcb_generic_event_t"), nullptr, &result), false);
    QCOMPARE(result, qintptr(0));
    // No colour reported on this desktop: the style keeps what it had.
    WinEventFilter::applyColor(0xff123456);
    filter.applyColorizationColor();
    QCOMPARE(MirrowStyle::accentColor().rgba(), QRgb(0xff123456));
}

NOXEL_APP_TEST_MAIN(TestWinEventFilter)

#include "tst_wineventfilter.moc"
