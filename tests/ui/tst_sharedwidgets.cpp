#include "alertwidget.h"
#include "animationwidget.h"
#include "core.h"
#include "fontawesome.h"
#include "message.h"
#include "messagewidget.h"
#include "mirrow.h"
#include "mirrowstyle.h"
#include "providersimulator.h"
#include "recorder.h"
#include "styledbutton.h"
#include "testhome.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QPainter>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

// The widgets the windows share, as they draw themselves under the virtual X server.

namespace {

bool near(QColor actual, QColor expected, int tolerance)
{
    return qAbs(actual.red() - expected.red()) <= tolerance
        && qAbs(actual.green() - expected.green()) <= tolerance
        && qAbs(actual.blue() - expected.blue()) <= tolerance;
}

QByteArray describe(QColor actual, QColor expected)
{
    return (u"got "_s + actual.name(QColor::HexArgb) + u", expected "_s + expected.name(QColor::HexArgb))
        .toUtf8();
}

QImage picture(QWidget &widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

bool contains(const QImage &image, const QRect &area, QColor color, int tolerance)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (near(image.pixelColor(x, y), color, tolerance))
                return true;
        }
    }
    return false;
}

// The colour of the most opaque pixel, with its alpha.
QColor strongest(const QImage &image)
{
    QColor best(0, 0, 0, 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor color = image.pixelColor(x, y);
            if (color.alpha() > best.alpha())
                best = color;
        }
    }
    return best;
}


} // namespace

class TestSharedWidgets : public QObject
{
    Q_OBJECT

public:
    explicit TestSharedWidgets(const TestHome &home)
        : home(home)
    {
    }

private slots:
    void initTestCase();

    void resources_data();
    void resources();
    void animationFrames_data();
    void animationFrames();
    void animationTimer();
    void styledButtonColors_data();
    void styledButtonColors();
    void styledButtonBusy();
    void iconNames_data();
    void iconNames();
    void iconModes_data();
    void iconModes();
    void alertLinkColors_data();
    void alertLinkColors();
    void noticeColors_data();
    void noticeColors();
    void linkRouting_data();
    void linkRouting();
    void flatPanels();

private:
    // A strip of `frames` frames, each `frameWidth` x 8 px in a colour of its own.
    QString writeStrip(int frames, int frameWidth);
    static QColor frameColor(int frame);

    const TestHome &home;
    QTemporaryDir dir;
};

void TestSharedWidgets::initTestCase()
{
    QVERIFY(home.isValid());
    QVERIFY(dir.isValid());
    QVERIFY(FontAwesome::instance());
    QCOMPARE(FontAwesome::instance(), FontAwesome::instance());
    QCOMPARE(FontAwesome::instance()->parent(), QCoreApplication::instance());
}

void TestSharedWidgets::resources_data()
{
    QTest::addColumn<QString>("path");
    // Of the whole picture; a width of 0 is not checked.
    QTest::addColumn<QSize>("size");

    for (int size : { 16, 20, 24, 32, 48, 64 }) {
        const QString path = u":/images/app/%1_app.png"_s.arg(size);
        QTest::newRow(qPrintable(path)) << path << QSize(size, size);
    }
    QTest::newRow("logo") << u":/images/logo.png"_s << QSize(0, 44);
    QTest::newRow("logo@2x") << u":/images/logo@2x.png"_s << QSize(0, 88);
    for (const char *name : { "connection", "preferences", "log", "my_account", "help", "debug" }) {
        for (int size : { 16, 24, 32, 48, 64 }) {
            const QString path = u":/images/toolbar/%1x%1_%2.png"_s.arg(size).arg(QLatin1String(name));
            QTest::newRow(qPrintable(path)) << path << QSize(size, size);
        }
    }
    // Strips: frame count times frame width, as the windows load them.
    QTest::newRow("status update") << u":/animations/status_update.png"_s << QSize(480, 48);
    QTest::newRow("status update@2x") << u":/animations/status_update@2x.png"_s << QSize(960, 96);
    QTest::newRow("loading") << u":/animations/horizontal_loading.png"_s << QSize(38 * 100, 10);
    QTest::newRow("loading@2x") << u":/animations/horizontal_loading@2x.png"_s << QSize(38 * 200, 20);
    QTest::newRow("connecting32") << u":/status/connecting32.png"_s << QSize(16 * 32, 32);
    QTest::newRow("connecting64") << u":/status/connecting64.png"_s << QSize(16 * 64, 64);
    QTest::newRow("button busy") << u":/animations/button_busy.png"_s << QSize(12 * 16, 16);
    QTest::newRow("button busy@2x") << u":/animations/button_busy@2x.png"_s << QSize(12 * 32, 32);
    QTest::newRow("activity") << u":/animations/activity.png"_s << QSize(12 * 16, 16);
    QTest::newRow("activity@2x") << u":/animations/activity@2x.png"_s << QSize(12 * 32, 32);
    QTest::newRow("extension") << u":/style/extension.png"_s << QSize(10, 10);
    QTest::newRow("extension@2x") << u":/style/extension@2x.png"_s << QSize(20, 20);
}

void TestSharedWidgets::resources()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.height(), size.height());
    if (size.width() > 0)
        QCOMPARE(image.width(), size.width());
    QVERIFY(image.hasAlphaChannel());
    // Something is drawn, and not everywhere.
    bool opaque = false;
    bool clear = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            opaque = opaque || alpha == 255;
            clear = clear || alpha == 0;
        }
    }
    QVERIFY(opaque);
    QVERIFY(clear);
}

QColor TestSharedWidgets::frameColor(int frame)
{
    return QColor::fromHsv((frame * 47) % 360, 255, 255).toRgb();
}

QString TestSharedWidgets::writeStrip(int frames, int frameWidth)
{
    QImage image(qMax(1, frames) * frameWidth, 8, QImage::Format_ARGB32);
    QPainter painter(&image);
    for (int frame = 0; frame < qMax(1, frames); ++frame)
        painter.fillRect(frame * frameWidth, 0, frameWidth, 8, frameColor(frame));
    painter.end();
    const QString path = dir.filePath(u"strip-%1-%2.png"_s.arg(frames).arg(frameWidth));
    return image.save(path) ? path : QString();
}

void TestSharedWidgets::animationFrames_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("frameWidth");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("expectedFrame");

    QTest::newRow("first frame") << 3 << 10 << 0 << 0;
    QTest::newRow("two steps") << 3 << 10 << 2 << 2;
    QTest::newRow("wraps to the first") << 3 << 10 << 3 << 0;
    QTest::newRow("several turns") << 4 << 7 << 9 << 1;
    QTest::newRow("one frame") << 1 << 12 << 5 << 0;
    QTest::newRow("no frame count is one frame") << 0 << 12 << 2 << 0;
    QTest::newRow("status update strip") << 10 << 48 << 13 << 3;
}

void TestSharedWidgets::animationFrames()
{
    QFETCH(int, frames);
    QFETCH(int, frameWidth);
    QFETCH(int, steps);
    QFETCH(int, expectedFrame);

    const QString path = writeStrip(frames, frameWidth);
    QVERIFY(!path.isEmpty());
    AnimationWidget widget;
    widget.setImage(path, frames);
    QCOMPARE(widget.frameCount(), qMax(1, frames));
    QCOMPARE(widget.sizeHint(), QSize(frameWidth, 8));
    QCOMPARE(widget.interval(), 80);
    widget.resize(widget.sizeHint());
    for (int i = 0; i < steps; ++i)
        widget.nextImage();
    QCOMPARE(widget.currentFrame(), expectedFrame);

    QImage image = picture(widget);
    QCOMPARE(image.pixel(0, 0), frameColor(expectedFrame).rgb());
    QCOMPARE(image.pixel(frameWidth - 1, 7), frameColor(expectedFrame).rgb());

    // Past the strip: ignored. The last frame: shown.
    widget.showFrame(qMax(1, frames));
    widget.showFrame(-1);
    QCOMPARE(widget.currentFrame(), expectedFrame);
    widget.showFrame(qMax(1, frames) - 1);
    image = picture(widget);
    QCOMPARE(image.pixel(0, 0), frameColor(qMax(1, frames) - 1).rgb());

    // Drawn at a design size: the whole strip is scaled, so a frame is too.
    const int width = qMax(1, frames) * frameWidth;
    widget.setImage(path, frames, 1.5, width, 8);
    QCOMPARE(widget.sizeHint(), QSize(qRound(width * 1.5) / qMax(1, frames), 12));
    QCOMPARE(widget.currentFrame(), qMax(1, frames) - 1);
}

void TestSharedWidgets::animationTimer()
{
    const QString path = writeStrip(4, 6);
    AnimationWidget widget;
    widget.setImage(path, 4);
    widget.setInterval(10);
    QVERIFY(!widget.isRunning());
    widget.start();
    QVERIFY(widget.isRunning());
    QTRY_COMPARE(widget.currentFrame(), 3);
    // Loading a strip again keeps it running, from the first frame for another frame count.
    widget.setImage(path, 2);
    QVERIFY(widget.isRunning());
    QTRY_COMPARE(widget.currentFrame(), 1);
    widget.stop();
    QVERIFY(!widget.isRunning());
    const int frame = widget.currentFrame();
    QTest::qWait(50);
    QCOMPARE(widget.currentFrame(), frame);
}

void TestSharedWidgets::styledButtonColors_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QColor>("top");
    QTest::addColumn<QColor>("bottom");
    QTest::addColumn<QColor>("border");
    QTest::addColumn<QColor>("text");

    const QColor white(255, 255, 255);
    QTest::newRow("plain") << 0 << white << QColor(224, 224, 224) << QColor(204, 204, 204) << QColor(0, 0, 0);
    QTest::newRow("primary") << 1 << QColor(51, 122, 183) << QColor(38, 90, 136) << QColor(36, 85, 128)
                             << white;
    QTest::newRow("success") << 3 << QColor(92, 184, 92) << QColor(65, 150, 65) << QColor(62, 143, 62)
                             << white;
    QTest::newRow("warning") << 4 << QColor(240, 173, 78) << QColor(235, 147, 22) << QColor(227, 141, 19)
                             << white;
    QTest::newRow("danger") << 5 << QColor(217, 83, 79) << QColor(193, 46, 42) << QColor(185, 44, 40)
                            << white;
    QTest::newRow("2 is no style: plain")
        << 2 << white << QColor(224, 224, 224) << QColor(204, 204, 204) << QColor(0, 0, 0);
    QTest::newRow("unknown: plain") << 99 << white << QColor(224, 224, 224) << QColor(204, 204, 204)
                                    << QColor(0, 0, 0);
}

void TestSharedWidgets::styledButtonColors()
{
    QFETCH(int, style);
    QFETCH(QColor, top);
    QFETCH(QColor, bottom);
    QFETCH(QColor, border);
    QFETCH(QColor, text);

    QWidget window;
    auto *button = new StyledButton(u"MMMM MMMM"_s, &window);
    button->setStyle(style);
    QCOMPARE(button->buttonStyle(), style);
    QFont font = button->font();
    font.setPixelSize(16);
    font.setBold(true);
    button->setFont(font);
    button->resize(button->sizeHint());
    window.resize(button->size() + QSize(20, 20));
    button->move(10, 10);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QImage image = picture(*button);
    const int w = image.width();
    const int h = image.height();
    QVERIFY(h >= 20);
    const int x = w / 2;
    QVERIFY2(near(image.pixelColor(x, 0), border, 3), describe(image.pixelColor(x, 0), border));
    QVERIFY2(near(image.pixelColor(x, h - 1), border, 3), describe(image.pixelColor(x, h - 1), border));
    QVERIFY2(near(image.pixelColor(0, h / 2), border, 3), describe(image.pixelColor(0, h / 2), border));
    QVERIFY2(near(image.pixelColor(x, 1), top, 8), describe(image.pixelColor(x, 1), top));
    QVERIFY2(near(image.pixelColor(x, h - 2), bottom, 8), describe(image.pixelColor(x, h - 2), bottom));
    QVERIFY(contains(image, QRect(w / 4, h / 4, w / 2, h / 2), text, 30));

    // Hovered, the same button is darker.
    button->setAttribute(Qt::WA_UnderMouse, true);
    const QImage hovered = picture(*button);
    const QColor plain = image.pixelColor(x, 2);
    const QColor shaded = hovered.pixelColor(x, 2);
    QVERIFY2(shaded.lightness() < plain.lightness(), describe(shaded, plain));
    QCOMPARE(hovered.pixelColor(x, 0).alpha(), 255);
}

void TestSharedWidgets::styledButtonBusy()
{
    QWidget window;
    auto *button = new StyledButton(u"Connecting ..."_s, &window);
    button->setStyle(StyledButton::Warning);
    const QSize idle = button->sizeHint();
    button->setAnimation(u":/animations/button_busy.png"_s, 12, 1.0, 192, 16);
    QVERIFY(button->sizeHint().width() > idle.width());
    QVERIFY(button->sizeHint().height() >= 16);
    button->resize(button->sizeHint());
    window.resize(button->size());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(!button->isAnimationRunning());
    const QImage before = picture(*button);
    button->startAnimation();
    QVERIFY(button->isAnimationRunning());
    const QImage busy = picture(*button);
    // The frame is drawn left of the text: thin white spokes on the orange.
    const QRect left(4, 4, 22, button->height() - 8);
    QVERIFY(contains(busy, left, Qt::white, 60));
    QVERIFY(!contains(before, left, Qt::white, 60));
    button->stopAnimation();
    QVERIFY(!button->isAnimationRunning());
    QCOMPARE(picture(*button), before);
}

void TestSharedWidgets::iconNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("codePoint");

    QTest::newRow("info-circle") << u"info-circle"_s << 0xf05a;
    QTest::newRow("check-square") << u"check-square"_s << 0xf14a;
    QTest::newRow("exclamation-circle") << u"exclamation-circle"_s << 0xf06a;
    QTest::newRow("long-arrow-down") << u"long-arrow-down"_s << 0xf175;
    QTest::newRow("long-arrow-up") << u"long-arrow-up"_s << 0xf176;
    QTest::newRow("times") << u"times"_s << 0xf00d;
    QTest::newRow("an alias of times") << u"close"_s << 0xf00d;
    QTest::newRow("question-circle") << u"question-circle"_s << 0xf059;
    QTest::newRow("unknown") << u"no-such-icon"_s << 0;
    QTest::newRow("case matters") << u"Times"_s << 0;
}

void TestSharedWidgets::iconNames()
{
    QFETCH(QString, name);
    QFETCH(int, codePoint);

    FontAwesome *font = FontAwesome::instance();
    QCOMPARE(font->codePoint(name), codePoint);
    const QIcon byName = font->icon(name);
    QCOMPARE(byName.isNull(), codePoint == 0);
    if (codePoint == 0)
        return;
    QVERIFY(QFontMetrics(font->font(20)).inFontUcs4(uint(codePoint)));
    const QImage image = byName.pixmap(QSize(32, 32)).toImage();
    QCOMPARE(image, font->icon(codePoint).pixmap(QSize(32, 32)).toImage());
    QCOMPARE(strongest(image.convertToFormat(QImage::Format_ARGB32)), QColor(50, 50, 50));
}

void TestSharedWidgets::iconModes_data()
{
    QTest::addColumn<QVariantMap>("options");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QColor>("color");

    const QVariantMap colours { { u"color"_s, QColor(Qt::red) },
        { u"color-disabled"_s, QColor(0, 128, 0, 100) }, { u"color-active"_s, QColor(Qt::blue) },
        { u"color-selected"_s, QColor(Qt::darkYellow) } };
    QTest::newRow("normal") << colours << int(QIcon::Normal) << QColor(Qt::red);
    QTest::newRow("disabled") << colours << int(QIcon::Disabled) << QColor(0, 128, 0, 100);
    QTest::newRow("active") << colours << int(QIcon::Active) << QColor(Qt::blue);
    QTest::newRow("selected") << colours << int(QIcon::Selected) << QColor(Qt::darkYellow);
    QTest::newRow("default normal") << QVariantMap() << int(QIcon::Normal) << QColor(50, 50, 50);
    QTest::newRow("default disabled") << QVariantMap() << int(QIcon::Disabled) << QColor(70, 70, 70, 60);
    QTest::newRow("default active") << QVariantMap() << int(QIcon::Active) << QColor(10, 10, 10);
    QTest::newRow("colour by name") << QVariantMap { { u"color"_s, u"#336699"_s } } << int(QIcon::Normal)
                                    << QColor(0x33, 0x66, 0x99);
}

void TestSharedWidgets::iconModes()
{
    QFETCH(QVariantMap, options);
    QFETCH(int, mode);
    QFETCH(QColor, color);

    const QIcon icon = FontAwesome::instance()->icon(0xf05a, options);
    const QImage image
        = icon.pixmap(QSize(40, 40), QIcon::Mode(mode)).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(40, 40));
    const QColor found = strongest(image);
    // Half-transparent colours lose some precision to premultiplied alpha.
    const int tolerance = color.alpha() == 255 ? 0 : 5;
    QVERIFY2(near(found, color, tolerance) && found.alpha() == color.alpha(), describe(found, color));
    // The glyph fills most of the height (scale factor 0.9).
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0) {
                top = top < 0 ? y : top;
                bottom = y;
            }
        }
    }
    QVERIFY2(bottom - top >= 28, qPrintable(u"glyph rows %1 to %2"_s.arg(top).arg(bottom)));

    // A text of the mode in place of the glyph.
    QVariantMap withText = options;
    withText.insert(u"text"_s, u"-"_s);
    const QImage text = FontAwesome::instance()
                            ->icon(0xf05a, withText)
                            .pixmap(QSize(40, 40), QIcon::Mode(mode))
                            .toImage()
                            .convertToFormat(QImage::Format_ARGB32);
    QVERIFY(text != image);
    QVERIFY2(near(strongest(text), color, tolerance), describe(strongest(text), color));
}

void TestSharedWidgets::alertLinkColors_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("info") << int(Message::Info) << u"See <a href=\"faq\">the FAQ</a>."_s
                          << u"See <a style=\"color:#31708f;\" href=\"faq\">the FAQ</a>."_s;
    QTest::newRow("success, bare anchor")
        << int(Message::Success) << u"<a>here</a>"_s << u"<a style=\"color:#3c763d;\">here</a>"_s;
    QTest::newRow("warning, two links")
        << int(Message::Warning) << u"<a href='a'>A</a> or <a class=\"x\" href='b'>B</a>"_s
        << u"<a style=\"color:#8a6d3b;\" href='a'>A</a> or <a style=\"color:#8a6d3b;\" class=\"x\" href='b'>B</a>"_s;
    QTest::newRow("error") << int(Message::Error) << u"Failed: <a href=\"https://x.invalid/\">help</a>"_s
                           << u"Failed: <a style=\"color:#a94442;\" href=\"https://x.invalid/\">help</a>"_s;
    QTest::newRow("no kind") << 0 << u"<a href=\"x\">x</a>"_s
                             << u"<a style=\"color:#333333;\" href=\"x\">x</a>"_s;
    QTest::newRow("other tags left alone")
        << int(Message::Error) << u"<abbr title=\"t\">T</abbr> <b>bold</b>"_s
        << u"<abbr title=\"t\">T</abbr> <b>bold</b>"_s;
    QTest::newRow("plain text") << int(Message::Info) << u"Couldn't connect.\nPlease check."_s
                                << u"Couldn't connect.\nPlease check."_s;
}

void TestSharedWidgets::alertLinkColors()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, shown);

    AlertWidget alert(nullptr, Message::Success);
    alert.setKind(kind);
    alert.setText(text);
    QCOMPARE(alert.kind(), kind);
    QCOMPARE(alert.text(), text);
    auto *label = alert.findChild<QLabel *>(u"text"_s);
    QVERIFY(label);
    QCOMPARE(label->text(), shown);

    // The same text keeps its links in the colour of a new kind.
    alert.setKind(Message::Info);
    QCOMPARE(label->text(), QString(shown).replace(QRegularExpression(u"#[0-9a-f]{6}"_s), u"#31708f"_s));

    // The message bar keeps the palette's link colour.
    MessageWidget bar(nullptr);
    Message message;
    message.setType(kind);
    message.setText(text);
    bar.setMessage(message);
    QCOMPARE(bar.kind(), kind);
    QCOMPARE(bar.findChild<QLabel *>(u"text"_s)->text(), text);
}

void TestSharedWidgets::noticeColors_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("foreground");

    QTest::newRow("info") << int(Message::Info) << QColor(217, 237, 247) << QColor(49, 112, 143);
    QTest::newRow("success") << int(Message::Success) << QColor(223, 240, 216) << QColor(60, 118, 61);
    QTest::newRow("warning") << int(Message::Warning) << QColor(252, 248, 227) << QColor(138, 109, 59);
    QTest::newRow("error") << int(Message::Error) << QColor(242, 222, 222) << QColor(169, 68, 66);
    QTest::newRow("none") << int(Message::NoType) << QColor(255, 255, 255) << QColor(51, 51, 51);
    QTest::newRow("unknown") << 9 << QColor(255, 255, 255) << QColor(51, 51, 51);
}

void TestSharedWidgets::noticeColors()
{
    QFETCH(int, kind);
    QFETCH(QColor, background);
    QFETCH(QColor, foreground);

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *alert = new AlertWidget(nullptr, kind);
    alert->setText(u"Alert"_s);
    auto *bar = new MessageWidget(nullptr);
    Message message;
    message.setType(kind);
    message.setText(u"Message"_s);
    bar->setMessage(message);
    bar->setBorderWidths(0, 0, 0, 1);
    layout->addWidget(alert);
    layout->addWidget(bar);
    window.resize(400, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(alert->isCloseVisible());
    QVERIFY(alert->isIconVisible());

    const QImage alertImage = picture(*alert);
    const int w = alertImage.width();
    const int h = alertImage.height();
    // Lines on all four edges, the kind's background inside, its icon at the left.
    for (const QPoint &edge :
        { QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(0, h / 2), QPoint(w - 1, h / 2) })
        QVERIFY2(
            alertImage.pixelColor(edge) == foreground, describe(alertImage.pixelColor(edge), foreground));
    QCOMPARE(alertImage.pixelColor(w / 2, 2), background);
    QVERIFY(contains(alertImage, QRect(1, 1, 40, h - 2), foreground, 0));

    // The bar: a line along its bottom edge only.
    const QImage barImage = picture(*bar);
    const int bw = barImage.width();
    const int bh = barImage.height();
    QCOMPARE(barImage.pixelColor(bw / 2, bh - 1), foreground);
    QCOMPARE(barImage.pixelColor(bw / 2, 0), background);
    QCOMPARE(barImage.pixelColor(0, bh / 2), background);
    QVERIFY(contains(barImage, QRect(1, 1, 40, bh - 2), foreground, 0));
    bar->setIconVisible(false);
    QVERIFY(!contains(picture(*bar), QRect(1, 1, 8, bh - 2), foreground, 60));

    // The close mark conceals the alert.
    auto *close = alert->findChild<QLabel *>(u"close"_s);
    QVERIFY(close);
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(alert->isHidden());
}

void TestSharedWidgets::linkRouting_data()
{
    QTest::addColumn<bool>("alert");
    QTest::addColumn<QString>("link");
    // The provider's link name asked for; empty when the browser gets the link itself.
    QTest::addColumn<QString>("providerKey");
    QTest::addColumn<QString>("opened");

    QTest::newRow("web address, alert")
        << true << u"https://noxel.invalid/help"_s << QString() << u"https://noxel.invalid/help"_s;
    QTest::newRow("plain web address, message bar")
        << false << u"http://noxel.invalid/a?b=c"_s << QString() << u"http://noxel.invalid/a?b=c"_s;
    QTest::newRow("upper case scheme")
        << true << u"HTTPS://noxel.invalid/x"_s << QString() << u"https://noxel.invalid/x"_s;
    QTest::newRow("link name, alert") << true << u"faq"_s << u"faq"_s << u"https://noxel.invalid/faq"_s;
    QTest::newRow("link name as anchor, message bar")
        << false << u"#account_home"_s << u"account_home"_s << u"https://noxel.invalid/account"_s;
}

void TestSharedWidgets::linkRouting()
{
    QFETCH(bool, alert);
    QFETCH(QString, link);
    QFETCH(QString, providerKey);
    QFETCH(QString, opened);

    // The browser is a stand-in that notes the address it was given.
    const QString standIns = home.path() + u"/bin"_s;
    QVERIFY(QDir().mkpath(standIns));
    const QString browserLog = home.path() + u"/xdg-open.log"_s;
    QFile::remove(browserLog);
    QVERIFY(Recorder::write(standIns + u"/xdg-open"_s, browserLog));
    if (!qgetenv("PATH").startsWith(QFile::encodeName(standIns)))
        qputenv("PATH", QFile::encodeName(standIns) + ':' + qgetenv("PATH"));
    const QString system = home.path() + u"/system"_s;
    QVERIFY(QDir().mkpath(system));
    qputenv("NOXEL_SYSTEM_CONFIG_DIR", QFile::encodeName(system));

    QJsonObject data = ProviderSimulator::demoData();
    data.insert("links"_L1,
        QJsonObject { { u"account_home"_s, u"https://noxel.invalid/account"_s },
            { u"faq"_s, u"https://noxel.invalid/faq"_s } });
    ProviderSimulator simulator;
    QVERIFY(simulator.start(data));
    qputenv(Mirrow::AddressesVariable, simulator.address().toUtf8());
    Core core;
    QVERIFY(core.initialize());

    std::unique_ptr<QWidget> widget;
    if (alert)
        widget = std::make_unique<AlertWidget>(&core, Message::Info);
    else
        widget = std::make_unique<MessageWidget>(&core);
    auto *label = widget->findChild<QLabel *>(u"text"_s);
    QVERIFY(label);
    emit label->linkActivated(link);

    QTRY_COMPARE_WITH_TIMEOUT(Recorder::lines(browserLog), QStringList { opened }, 10000);
    QStringList keys;
    const QList<ProviderSimulator::Envelope> envelopes = simulator.envelopes();
    for (const ProviderSimulator::Envelope &envelope : envelopes) {
        if (envelope.kind == "url"_L1)
            keys.append(QString::fromUtf8(envelope.xml));
    }
    if (providerKey.isEmpty()) {
        QVERIFY(keys.isEmpty());
    } else {
        QCOMPARE(keys.size(), 1);
        QVERIFY2(keys.constFirst().contains(u"key=\"%1\""_s.arg(providerKey)), qPrintable(keys.constFirst()));
    }
}

void TestSharedWidgets::flatPanels()
{
    const QString platformStyle = QApplication::style()->name();
    auto *style = new MirrowStyle(platformStyle);
    QApplication::setStyle(style);
    MirrowStyle::setAccentColor(QColor(0x73, 0xb9, 0xff));

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *toolBar = new QToolBar;
    toolBar->setProperty("panelwidget", true);
    toolBar->addAction(u"Action"_s);
    auto *splitter = new QSplitter;
    splitter->setProperty("minisplitter", true);
    splitter->addWidget(new QLabel(u"left"_s));
    splitter->addWidget(new QLabel(u"right"_s));
    layout->addWidget(toolBar);
    layout->addWidget(splitter);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QImage bar = picture(*toolBar);
    QCOMPARE(bar.pixel(bar.width() - 2, 1), MirrowStyle::barColor().rgb());
    QCOMPARE(splitter->handleWidth(), 1);

    const QIcon extension = style->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
    const QPixmap arrow(u":/style/extension.png"_s);
    QCOMPARE(extension.pixmap(QSize(10, 10)).toImage(), arrow.toImage());
    const QIcon down = style->standardIcon(QStyle::SP_ToolBarVerticalExtensionButton);
    QCOMPARE(down.pixmap(QSize(10, 10)).toImage(), arrow.transformed(QTransform().rotate(90)).toImage());
    QApplication::setStyle(platformStyle);
}

NOXEL_APP_TEST_MAIN(TestSharedWidgets)

#include "tst_sharedwidgets.moc"
