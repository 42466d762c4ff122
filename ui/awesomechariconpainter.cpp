#include "awesomechariconpainter.h"

#include "fontawesome.h"

#include <QPainter>

void AwesomeCharIconPainter::paint(const FontAwesome &font, QPainter *painter, const QRect &rect,
    int codePoint, QIcon::Mode mode, QIcon::State, const QVariantMap &options) const
{
    QString suffix;
    switch (mode) {
    case QIcon::Disabled:
        suffix = QStringLiteral("-disabled");
        break;
    case QIcon::Active:
        suffix = QStringLiteral("-active");
        break;
    case QIcon::Selected:
        suffix = QStringLiteral("-selected");
        break;
    case QIcon::Normal:
        break;
    }
    const QColor color = options.value(QStringLiteral("color") + suffix).value<QColor>();
    // A mode without a text of its own shows the icon's text, or else the glyph.
    QString text = options.value(QStringLiteral("text") + suffix).toString();
    if (text.isEmpty())
        text = options.value(QStringLiteral("text")).toString();
    if (text.isEmpty())
        text = FontAwesome::character(codePoint);

    const double scale = options.value(QStringLiteral("scale-factor")).toDouble();
    painter->save();
    painter->setPen(color);
    painter->setFont(font.font(qRound(rect.height() * scale)));
    painter->drawText(rect, Qt::AlignCenter, text);
    painter->restore();
}
