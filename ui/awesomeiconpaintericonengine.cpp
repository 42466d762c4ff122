#include "awesomeiconpaintericonengine.h"

#include "fontawesome.h"

#include <QPainter>
#include <QPixmap>

AwesomeIconPainterIconEngine::AwesomeIconPainterIconEngine(
    FontAwesome *font, int codePoint, const QVariantMap &options)
    : font(font)
    , codePoint(codePoint)
    , options(options)
{
}

void AwesomeIconPainterIconEngine::paint(
    QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state)
{
    // The font goes with the application; an icon that outlives it stays blank.
    if (font)
        this->painter.paint(*font, painter, rect, codePoint, mode, state, options);
}

QPixmap AwesomeIconPainterIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    return pixmap;
}

QIconEngine *AwesomeIconPainterIconEngine::clone() const
{
    return new AwesomeIconPainterIconEngine(font, codePoint, options);
}

QString AwesomeIconPainterIconEngine::key() const
{
    return QStringLiteral("FontAwesome");
}
