#pragma once

#include <QColor>
#include <QProxyStyle>

// The application style over the platform's own. Its accent colour tints bars
// and highlights; the bar colour is a darker shade derived from it.
class MirrowStyle : public QProxyStyle
{
    Q_OBJECT

public:
    explicit MirrowStyle(const QString &baseStyleName);

    static void setAccentColor(const QColor &color);
    static QColor accentColor();
    static QColor barColor();
};
