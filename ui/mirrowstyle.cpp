#include "mirrowstyle.h"

#include <QApplication>
#include <QStyleFactory>
#include <QWidget>

namespace {

QColor accent;
QColor bar;

} // namespace

MirrowStyle::MirrowStyle(const QString &baseStyleName)
    : QProxyStyle(QStyleFactory::create(baseStyleName))
{
}

void MirrowStyle::setAccentColor(const QColor &color)
{
    accent = color;
    const QColor hsv = color.toHsv();
    // 70 % in integers: in floating point, saturation * 0.7 truncates 90, 170 and 180 one step too low.
    const QColor derived
        = QColor::fromHsv(hsv.hsvHue(), hsv.hsvSaturation() * 7 / 10, hsv.value() / 3 + 64, 255);
    if (!derived.isValid() || derived == bar)
        return;
    bar = derived;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets)
        widget->update();
}

QColor MirrowStyle::accentColor()
{
    return accent;
}

QColor MirrowStyle::barColor()
{
    return bar;
}
