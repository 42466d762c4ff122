#pragma once

#include <QAbstractNativeEventFilter>
#include <QRgb>

#include <optional>

// The application's native event filter. Power and session events reach the
// platform manager from logind; this filter only passes the desktop's accent
// colour to the style, where the desktop reports one.
class WinEventFilter : public QAbstractNativeEventFilter
{
public:
    // Applies the desktop's accent colour to the style; nothing happens when the
    // desktop reports none.
    void applyColorizationColor();
    // The reported colour as ARGB, alpha included.
    static void applyColor(QRgb argb);
    static std::optional<QRgb> colorizationColor();

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;
};
