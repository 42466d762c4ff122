#include "hidpi.h"

#include "winutils.h"

#include <QColor>
#include <QImage>
#include <QLayout>
#include <QWidget>

#include <cmath>

namespace {

double ratio()
{
    static const double value = WinUtils::devicePixelRatio();
    return value;
}

bool aware()
{
    static const bool value = WinUtils::isDevicePixelRatioAware();
    return value;
}

QRgb desaturated(QRgb rgb, float amount)
{
    const QColor color = QColor::fromRgba(rgb);
    int h, s, v, a;
    color.getHsv(&h, &s, &v, &a);
    const int saturation = int(std::lround(s * (1.0f - amount)));
    return QColor::fromHsv(h, saturation, v, qAlpha(rgb)).rgba();
}

QPixmap loadPixmap(const QString &fileName, double factor, bool enabled)
{
    QPixmap pixmap(fileName);
    if (aware())
        pixmap.setDevicePixelRatio(factor);
    if (!enabled)
        mDesaturate(pixmap, 1.0f);
    return pixmap;
}

} // namespace

double mHiDpiFactor()
{
    return ratio();
}

double mHiDpiFixedFactor2()
{
    static const double value = ratio() >= 2.0 ? 2.0 : 1.0;
    return value;
}

double mHiDpiFixedFactor3()
{
    static const double value = ratio() >= 1.99 ? 2.0 : (ratio() >= 1.49 ? 1.5 : 1.0);
    return value;
}

int mHiDpiSize(int n)
{
    return aware() ? n : int(n * ratio());
}

QSize mHiDpiSize(int w, int h)
{
    return aware() ? QSize(w, h) : QSize(int(w * ratio()), int(h * ratio()));
}

int mHiDpiFixedSize2(int n)
{
    return aware() ? n : int(n * mHiDpiFixedFactor2());
}

QSize mHiDpiFixedSize2(int w, int h)
{
    return aware() ? QSize(w, h) : QSize(int(w * mHiDpiFixedFactor2()), int(h * mHiDpiFixedFactor2()));
}

int mHiDpiFixedSize3(int n)
{
    return aware() ? n : int(n * mHiDpiFixedFactor3());
}

QSize mHiDpiFixedSize3(int w, int h)
{
    return aware() ? QSize(w, h) : QSize(int(w * mHiDpiFixedFactor3()), int(h * mHiDpiFixedFactor3()));
}

QString mHiDpiFileName2(const QString &pattern, int size)
{
    return pattern.arg(size * mHiDpiFixedFactor2(), 0, 'g');
}

QString mHiDpiFileName3(const QString &pattern, int size)
{
    return pattern.arg(size * mHiDpiFixedFactor3(), 0, 'g');
}

QPixmap mHiDpiPixmap2(const QString &pattern, int size, bool enabled)
{
    return loadPixmap(mHiDpiFileName2(pattern, size), mHiDpiFixedFactor2(), enabled);
}

QPixmap mHiDpiPixmap3(const QString &pattern, int size, bool enabled)
{
    return loadPixmap(mHiDpiFileName3(pattern, size), mHiDpiFixedFactor3(), enabled);
}

void mAdaptPixmap3(QPixmap &pixmap)
{
    if (aware())
        pixmap.setDevicePixelRatio(mHiDpiFixedFactor3());
}

void me_adapt_pixmap(QPixmap &pixmap, double factor, int w, int h)
{
    pixmap.setDevicePixelRatio(aware() ? factor : 1.0);
    const QSize wanted(int(w * factor), int(h * factor));
    if (pixmap.size() != wanted) {
        const qreal dpr = pixmap.devicePixelRatio();
        pixmap = pixmap.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(dpr);
    }
}

void mDesaturate(QPixmap &pixmap, float amount)
{
    if (pixmap.isNull())
        return;
    const qreal dpr = pixmap.devicePixelRatio();
    QImage image = pixmap.toImage();
    if (image.depth() <= 8 && image.colorCount() > 0) {
        QList<QRgb> table = image.colorTable();
        for (QRgb &entry : table)
            entry = desaturated(entry, amount);
        image.setColorTable(table);
    } else {
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
            image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = desaturated(line[x], amount);
        }
    }
    pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(dpr);
}

QPixmap mDesaturate(const QString &file, float amount)
{
    QPixmap pixmap(file);
    mDesaturate(pixmap, amount);
    return pixmap;
}

void mClearLayout(QLayout *layout)
{
    if (!layout)
        return;
    while (layout->count() > 0) {
        QLayoutItem *item = layout->takeAt(0);
        if (QLayout *nested = item->layout()) {
            mClearLayout(nested);
            delete nested;
            continue;
        }
        if (QWidget *widget = item->widget())
            delete widget;
        delete item;
    }
}
