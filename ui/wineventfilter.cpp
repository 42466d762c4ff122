#include "wineventfilter.h"

#include "mirrowstyle.h"

#include <QColor>

void WinEventFilter::applyColorizationColor()
{
    if (const std::optional<QRgb> color = colorizationColor())
        applyColor(*color);
}

void WinEventFilter::applyColor(QRgb argb)
{
    MirrowStyle::setAccentColor(QColor::fromRgba(argb));
}

std::optional<QRgb> WinEventFilter::colorizationColor()
{
    // X11 desktops publish no accent colour; the style keeps its own.
    return std::nullopt;
}

bool WinEventFilter::nativeEventFilter(const QByteArray &, void *, qintptr *)
{
    return false;
}
