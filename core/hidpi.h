#pragma once

#include "core_global.h"

#include <QPixmap>
#include <QSize>
#include <QString>

class QLayout;

// Pixel sizes and pixmaps for the screen's pixel ratio. Each function reads the
// ratio once, on first use.
CORE_EXPORT double mHiDpiFactor();
CORE_EXPORT double mHiDpiFixedFactor2();
CORE_EXPORT double mHiDpiFixedFactor3();
CORE_EXPORT int mHiDpiSize(int n);
CORE_EXPORT QSize mHiDpiSize(int w, int h);
CORE_EXPORT int mHiDpiFixedSize2(int n);
CORE_EXPORT QSize mHiDpiFixedSize2(int w, int h);
CORE_EXPORT int mHiDpiFixedSize3(int n);
CORE_EXPORT QSize mHiDpiFixedSize3(int w, int h);
CORE_EXPORT QString mHiDpiFileName2(const QString &pattern, int size);
CORE_EXPORT QString mHiDpiFileName3(const QString &pattern, int size);
CORE_EXPORT QPixmap mHiDpiPixmap2(const QString &pattern, int size, bool enabled);
CORE_EXPORT QPixmap mHiDpiPixmap3(const QString &pattern, int size, bool enabled);
CORE_EXPORT void mAdaptPixmap3(QPixmap &pixmap);
CORE_EXPORT void me_adapt_pixmap(QPixmap &pixmap, double factor, int w, int h);
// Scales every pixel's saturation by (1 - amount); 1 gives grey. Alpha is kept.
CORE_EXPORT void mDesaturate(QPixmap &pixmap, float amount);
CORE_EXPORT QPixmap mDesaturate(const QString &file, float amount);
// Deletes every item of the layout, nested layouts and widgets included.
CORE_EXPORT void mClearLayout(QLayout *layout);
