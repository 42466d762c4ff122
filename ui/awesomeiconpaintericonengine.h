#pragma once

#include "awesomechariconpainter.h"

#include <QIconEngine>
#include <QPointer>
#include <QVariantMap>

class FontAwesome;

// Draws a Font Awesome icon afresh for every size and mode it is asked for.
class AwesomeIconPainterIconEngine : public QIconEngine
{
public:
    AwesomeIconPainterIconEngine(FontAwesome *font, int codePoint, const QVariantMap &options);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;
    QString key() const override;

private:
    QPointer<FontAwesome> font;
    int codePoint;
    QVariantMap options;
    AwesomeCharIconPainter painter;
};
