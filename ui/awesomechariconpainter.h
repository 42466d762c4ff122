#pragma once

#include <QIcon>
#include <QVariantMap>

class FontAwesome;
class QPainter;
class QRect;

// Paints one glyph of the icon font, or the text that replaces it, in the colour
// and text of the icon's mode (see FontAwesome for the options).
class AwesomeCharIconPainter
{
public:
    void paint(const FontAwesome &font, QPainter *painter, const QRect &rect, int codePoint, QIcon::Mode mode,
        QIcon::State state, const QVariantMap &options) const;
};
