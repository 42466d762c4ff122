#include "hidpi.h"
#include "winutils.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <array>
#include <functional>
#include <utility>

// The pixel ratio is read once per process, so CTest runs this program once per
// screen set-up; NOXEL_TEST_DPI names the set-up and so the expected values.
namespace {

QString text(double value)
{
    return QString::number(value);
}

QString text(const QSize &size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

QString text(const QPixmap &pixmap)
{
    return text(pixmap.size()) + QLatin1Char('@') + text(pixmap.devicePixelRatio());
}

QString text(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

using Call = std::function<QString()>;

constexpr int callCount = 16;

struct Setup
{
    const char *name;
    int logicalDpi; // 0: whatever the screen has
    std::array<const char *, callCount> expected;
};

// One column per entry of TestHiDpi::calls().
const Setup setups[] = {
    { "plain", 96,
        { { "1", "false", "1", "1", "16", "16x12", "16", "16x12", "16", "16x12", ":/x_16.png", ":/x_16.png",
            "16x16@1", "16x16@1", "32x32@1", "24x24@1" } } },
    { "font120", 120,
        { { "1.25", "false", "1", "1", "20", "20x15", "16", "16x12", "16", "16x12", ":/x_16.png",
            ":/x_16.png", "16x16@1", "16x16@1", "32x32@1", "24x24@1" } } },
    { "font144", 144,
        { { "1.5", "false", "1", "1.5", "24", "24x18", "16", "16x12", "24", "24x18", ":/x_16.png",
            ":/x_24.png", "16x16@1", "24x24@1", "32x32@1", "24x24@1" } } },
    { "font192", 192,
        { { "2", "false", "2", "2", "32", "32x24", "32", "32x24", "32", "32x24", ":/x_32.png", ":/x_32.png",
            "32x32@1", "32x32@1", "32x32@1", "24x24@1" } } },
    { "ratio2", 0,
        { { "2", "true", "2", "2", "16", "16x12", "16", "16x12", "16", "16x12", ":/x_32.png", ":/x_32.png",
            "32x32@2", "32x32@2", "32x32@2", "24x24@1.5" } } },
};

const Setup *currentSetup()
{
    const QByteArray name = qgetenv("NOXEL_TEST_DPI");
    for (const Setup &setup : setups) {
        if (name == setup.name)
            return &setup;
    }
    return nullptr;
}

QImage filled(const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

} // namespace

Q_DECLARE_METATYPE(Call)

class TestHiDpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sizes_data();
    void sizes();
    void ratioIsReadOnce();
    void desaturate_data();
    void desaturate();
    void desaturateFile();
    void clearLayout();

private:
    QList<std::pair<QString, Call>> calls() const;

    QTemporaryDir m_dir;
    const Setup *m_setup = nullptr;
};

QList<std::pair<QString, Call>> TestHiDpi::calls() const
{
    const QString files = m_dir.filePath(QStringLiteral("x_%1.png"));
    const auto adapted = [](double factor) {
        QPixmap pixmap(10, 10);
        pixmap.fill(Qt::blue);
        me_adapt_pixmap(pixmap, factor, 16, 16);
        return text(pixmap);
    };
    return {
        { QStringLiteral("mHiDpiFactor()"), [] { return text(mHiDpiFactor()); } },
        { QStringLiteral("aware"), [] { return text(WinUtils::isDevicePixelRatioAware()); } },
        { QStringLiteral("mHiDpiFixedFactor2()"), [] { return text(mHiDpiFixedFactor2()); } },
        { QStringLiteral("mHiDpiFixedFactor3()"), [] { return text(mHiDpiFixedFactor3()); } },
        { QStringLiteral("mHiDpiSize(16)"), [] { return text(double(mHiDpiSize(16))); } },
        { QStringLiteral("mHiDpiSize(16, 12)"), [] { return text(mHiDpiSize(16, 12)); } },
        { QStringLiteral("mHiDpiFixedSize2(16)"), [] { return text(double(mHiDpiFixedSize2(16))); } },
        { QStringLiteral("mHiDpiFixedSize2(16, 12)"), [] { return text(mHiDpiFixedSize2(16, 12)); } },
        { QStringLiteral("mHiDpiFixedSize3(16)"), [] { return text(double(mHiDpiFixedSize3(16))); } },
        { QStringLiteral("mHiDpiFixedSize3(16, 12)"), [] { return text(mHiDpiFixedSize3(16, 12)); } },
        { QStringLiteral("mHiDpiFileName2"),
            [] { return mHiDpiFileName2(QStringLiteral(":/x_%1.png"), 16); } },
        { QStringLiteral("mHiDpiFileName3"),
            [] { return mHiDpiFileName3(QStringLiteral(":/x_%1.png"), 16); } },
        { QStringLiteral("mHiDpiPixmap2"), [files] { return text(mHiDpiPixmap2(files, 16, true)); } },
        { QStringLiteral("mHiDpiPixmap3"), [files] { return text(mHiDpiPixmap3(files, 16, true)); } },
        { QStringLiteral("me_adapt_pixmap factor 2"), [adapted] { return adapted(2.0); } },
        { QStringLiteral("me_adapt_pixmap factor 1.5"), [adapted] { return adapted(1.5); } },
    };
}

void TestHiDpi::initTestCase()
{
    m_setup = currentSetup();
    QVERIFY2(m_setup, "NOXEL_TEST_DPI names no known screen set-up");
    QVERIFY(m_dir.isValid());
    // Image files at each size the functions may pick.
    for (int size : { 16, 20, 24, 32 })
        QVERIFY(
            filled(QSize(size, size), Qt::red).save(m_dir.filePath(QStringLiteral("x_%1.png").arg(size))));

    if (m_setup->logicalDpi) {
        // Without this the set-up does not test what it claims to.
        const QScreen *screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        QCOMPARE(screen->logicalDotsPerInchX(), double(m_setup->logicalDpi));
        QCOMPARE(screen->devicePixelRatio(), 1.0);
    }
}

void TestHiDpi::sizes_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QString>("expected");

    const QList<std::pair<QString, Call>> list = calls();
    QCOMPARE(list.size(), callCount);
    for (int i = 0; i < callCount; ++i)
        QTest::newRow(qPrintable(list.at(i).first))
            << list.at(i).second << QString::fromLatin1(m_setup->expected[i]);
}

void TestHiDpi::sizes()
{
    QFETCH(Call, call);
    QFETCH(QString, expected);
    QCOMPARE(call(), expected);
}

void TestHiDpi::ratioIsReadOnce()
{
    const double ratio = mHiDpiFactor();
    const bool aware = WinUtils::isDevicePixelRatioAware();
    const int size = mHiDpiSize(10);
    const QByteArray saved = qgetenv("QT_DEVICE_PIXEL_RATIO");
    qputenv("QT_DEVICE_PIXEL_RATIO", "3");
    const double ratioAfter = mHiDpiFactor();
    const bool awareAfter = WinUtils::isDevicePixelRatioAware();
    const int sizeAfter = mHiDpiSize(10);
    if (saved.isNull())
        qunsetenv("QT_DEVICE_PIXEL_RATIO");
    else
        qputenv("QT_DEVICE_PIXEL_RATIO", saved);
    QCOMPARE(ratioAfter, ratio);
    QCOMPARE(awareAfter, aware);
    QCOMPARE(sizeAfter, size);
}

void TestHiDpi::desaturate_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<float>("amount");
    QTest::addColumn<qreal>("pixelRatio");

    QTest::newRow("red, grey") << QColor(220, 30, 40) << 1.0f << qreal(1);
    QTest::newRow("green, grey, ratio 2") << QColor(20, 200, 90) << 1.0f << qreal(2);
    QTest::newRow("translucent blue, grey") << QColor(30, 60, 230, 128) << 1.0f << qreal(1);
    QTest::newRow("nearly clear orange, grey") << QColor(250, 140, 10, 10) << 1.0f << qreal(1.5);
    QTest::newRow("red, half") << QColor(220, 30, 40) << 0.5f << qreal(1);
    QTest::newRow("translucent teal, half") << QColor(20, 180, 170, 200) << 0.5f << qreal(1);
    QTest::newRow("red, none") << QColor(220, 30, 40) << 0.0f << qreal(1);
}

void TestHiDpi::desaturate()
{
    QFETCH(QColor, color);
    QFETCH(float, amount);
    QFETCH(qreal, pixelRatio);

    QImage source = filled(QSize(6, 4), color);
    source.setPixelColor(0, 0, Qt::transparent);
    QPixmap pixmap = QPixmap::fromImage(source);
    pixmap.setDevicePixelRatio(pixelRatio);
    // The colour as the pixmap holds it, after its own rounding.
    const QColor before = pixmap.toImage().convertToFormat(QImage::Format_ARGB32).pixelColor(3, 2);

    mDesaturate(pixmap, amount);
    QCOMPARE(pixmap.size(), QSize(6, 4));
    QCOMPARE(pixmap.devicePixelRatio(), pixelRatio);

    const QImage result = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    // Pixmaps store premultiplied colour, so the fainter a pixel, the coarser its channels.
    const int slack = 2 + 255 / color.alpha();
    QCOMPARE(qAlpha(result.pixel(0, 0)), 0);
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            if (x == 0 && y == 0)
                continue;
            const QColor after = result.pixelColor(x, y);
            QCOMPARE(after.alpha(), color.alpha());
            if (amount == 1.0f) {
                QCOMPARE(after.red(), after.green());
                QCOMPARE(after.green(), after.blue());
                QVERIFY2(
                    qAbs(after.value() - before.value()) <= slack, qPrintable(after.name(QColor::HexArgb)));
            } else {
                const int saturation = qRound(before.hsvSaturation() * (1.0f - amount));
                QVERIFY2(qAbs(after.hsvSaturation() - saturation) <= slack + 1,
                    qPrintable(after.name(QColor::HexArgb)));
                QVERIFY2(qAbs(after.hsvHue() - before.hsvHue()) <= slack + 1,
                    qPrintable(after.name(QColor::HexArgb)));
                QVERIFY2(
                    qAbs(after.value() - before.value()) <= slack, qPrintable(after.name(QColor::HexArgb)));
            }
        }
    }
}

void TestHiDpi::desaturateFile()
{
    const QString file = m_dir.filePath(QStringLiteral("x_20.png"));
    const QPixmap grey = mDesaturate(file, 1.0f);
    QCOMPARE(grey.size(), QSize(20, 20));
    const QColor pixel = grey.toImage().pixelColor(10, 10);
    QCOMPARE(pixel.red(), pixel.green());
    QCOMPARE(pixel.green(), pixel.blue());
    QCOMPARE(pixel.alpha(), 255);

    QVERIFY(mDesaturate(m_dir.filePath(QStringLiteral("missing.png")), 1.0f).isNull());

    // A disabled icon is the grey version of the enabled one.
    const QImage disabled = mHiDpiPixmap2(m_dir.filePath(QStringLiteral("x_%1.png")), 16, false).toImage();
    const QColor icon = disabled.pixelColor(3, 3);
    QCOMPARE(icon.red(), icon.green());
    QCOMPARE(icon.green(), icon.blue());
}

void TestHiDpi::clearLayout()
{
    QWidget window;
    auto *top = new QVBoxLayout(&window);
    QPointer<QLabel> label = new QLabel(QStringLiteral("top"));
    top->addWidget(label);
    QPointer<QHBoxLayout> row = new QHBoxLayout;
    QPointer<QPushButton> button = new QPushButton(QStringLiteral("in row"));
    row->addWidget(button);
    QPointer<QGridLayout> grid = new QGridLayout;
    QPointer<QLabel> deep = new QLabel(QStringLiteral("in grid"));
    grid->addWidget(deep, 1, 1);
    row->addLayout(grid);
    row->addStretch();
    top->addLayout(row);
    top->addSpacing(8);
    QPointer<QLabel> last = new QLabel(QStringLiteral("last"));
    top->addWidget(last);

    mClearLayout(top);
    QCOMPARE(top->count(), 0);
    QVERIFY(label.isNull());
    QVERIFY(row.isNull());
    QVERIFY(button.isNull());
    QVERIFY(grid.isNull());
    QVERIFY(deep.isNull());
    QVERIFY(last.isNull());
    QCOMPARE(window.layout(), static_cast<QLayout *>(top));
    QVERIFY(window.findChildren<QWidget *>().isEmpty());

    // The emptied layout takes new items as before.
    top->addWidget(new QLabel(QStringLiteral("again")));
    QCOMPARE(top->count(), 1);
    mClearLayout(nullptr);
}

QTEST_MAIN(TestHiDpi)
#include "tst_hidpi.moc"
