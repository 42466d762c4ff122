#pragma once

#include <QColor>
#include <QProxyStyle>

#include <memory>

class MirrowStylePrivate;

// The application style over the platform's own. Its accent colour tints bars
// and highlights; the bar colour is a darker shade derived from it.
//
// Widgets ask for the flat look with dynamic properties (bool, on the widget or,
// for "panelwidget", any parent up to the window):
// - "panelwidget", "panelwidget_singlerow": tool bars and tool buttons drawn flat
//   on the bar colour, with light text; "lightColored" makes the panel light, with
//   dark text; "topBorder" moves the panel's edge line from the bottom to the top;
// - "noArrow": a tool button without its menu arrow; "hideicon": text only;
// - "minisplitter": a splitter of one-pixel lines;
// - "showborder", "hideborder": a frame drawn as a thin line, or not at all.
class MirrowStyle : public QProxyStyle
{
    Q_OBJECT

public:
    explicit MirrowStyle(const QString &baseStyleName);
    ~MirrowStyle() override;

    static void setAccentColor(const QColor &color);
    static QColor accentColor();
    static QColor barColor();

    void polish(QWidget *widget) override;
    using QProxyStyle::polish;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
        const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
        const QWidget *widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
        const QWidget *widget = nullptr) const override;
    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
        const QWidget *widget = nullptr) const override;

public slots:
    // The style's own icons (the tool bar's extension arrow), the platform's otherwise.
    QIcon standardIconImplementation(
        StandardPixmap standardIcon, const QStyleOption *option, const QWidget *widget) const;

private:
    std::unique_ptr<MirrowStylePrivate> d;
};
