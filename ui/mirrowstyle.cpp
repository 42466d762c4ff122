#include "mirrowstyle.h"

#include "hidpi.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolButton>
#include <QTransform>
#include <QWidget>

namespace {

QColor accent;
QColor bar;

bool hasProperty(const QWidget *widget, const char *name)
{
    return widget && widget->property(name).toBool();
}

// The widget or a parent of it, up to its window, that asked for the panel look.
const QWidget *panelOf(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget()) {
        if (hasProperty(widget, "panelwidget") || hasProperty(widget, "panelwidget_singlerow"))
            return widget;
        if (widget->isWindow())
            break;
    }
    return nullptr;
}

QColor panelColor(const QWidget *panel, const QPalette &palette)
{
    const QColor base = bar.isValid() ? bar : palette.color(QPalette::Dark);
    if (hasProperty(panel, "lightColored"))
        return QColor::fromHsv(base.hsvHue(), base.hsvSaturation() / 6, 240);
    return base;
}

QColor panelTextColor(const QWidget *panel)
{
    return hasProperty(panel, "lightColored") ? QColor(51, 51, 51) : QColor(Qt::white);
}

} // namespace

class MirrowStylePrivate
{
public:
    QIcon extension { QStringLiteral(":/style/extension.png") };
};

MirrowStyle::MirrowStyle(const QString &baseStyleName)
    : QProxyStyle(QStyleFactory::create(baseStyleName))
    , d(std::make_unique<MirrowStylePrivate>())
{
}

MirrowStyle::~MirrowStyle() = default;

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

void MirrowStyle::polish(QWidget *widget)
{
    QProxyStyle::polish(widget);
    // Flat panel buttons show only their hover shade, so they must hear of hovering.
    if (qobject_cast<QToolButton *>(widget) && panelOf(widget))
        widget->setAttribute(Qt::WA_Hover);
}

void MirrowStyle::drawPrimitive(
    PrimitiveElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    switch (element) {
    case PE_PanelButtonTool:
        if (panelOf(widget)) {
            const bool enabled = option->state & State_Enabled;
            if (enabled && (option->state & (State_Sunken | State_On)))
                painter->fillRect(option->rect, QColor(0, 0, 0, 60));
            else if (enabled && (option->state & State_MouseOver))
                painter->fillRect(option->rect, QColor(255, 255, 255, 40));
            return;
        }
        break;
    case PE_FrameButtonTool:
        if (panelOf(widget))
            return;
        break;
    case PE_IndicatorArrowDown:
        if (hasProperty(widget, "noArrow"))
            return;
        break;
    case PE_Frame:
        if (hasProperty(widget, "hideborder"))
            return;
        if (hasProperty(widget, "showborder")) {
            painter->save();
            painter->setPen(QPen(option->palette.color(QPalette::Mid), 0));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
            painter->restore();
            return;
        }
        break;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void MirrowStyle::drawControl(
    ControlElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    switch (element) {
    case CE_ToolBar:
        if (const QWidget *panel = panelOf(widget)) {
            const QRect r = option->rect;
            const QColor color = panelColor(panel, option->palette);
            painter->fillRect(r, color);
            const int line = mHiDpiSize(1);
            const int y = hasProperty(panel, "topBorder") ? r.top() : r.bottom() - line + 1;
            painter->fillRect(QRect(r.left(), y, r.width(), line), color.darker(150));
            return;
        }
        break;
    case CE_ToolButtonLabel:
        if (const auto *button = qstyleoption_cast<const QStyleOptionToolButton *>(option)) {
            const QWidget *panel = panelOf(widget);
            if (panel || hasProperty(widget, "hideicon")) {
                QStyleOptionToolButton copy(*button);
                if (panel) {
                    copy.palette.setColor(QPalette::ButtonText, panelTextColor(panel));
                    copy.palette.setColor(QPalette::WindowText, panelTextColor(panel));
                }
                if (hasProperty(widget, "hideicon")) {
                    copy.icon = QIcon();
                    copy.toolButtonStyle = Qt::ToolButtonTextOnly;
                }
                QProxyStyle::drawControl(element, &copy, painter, widget);
                return;
            }
        }
        break;
    case CE_Splitter:
        if (hasProperty(widget, "minisplitter")
            || (widget && hasProperty(widget->parentWidget(), "minisplitter"))) {
            painter->fillRect(option->rect, option->palette.color(QPalette::Mid));
            return;
        }
        break;
    default:
        break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

int MirrowStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    if (metric == PM_SplitterWidth && hasProperty(widget, "minisplitter"))
        return mHiDpiSize(1);
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QIcon MirrowStyle::standardIcon(
    StandardPixmap standardIcon, const QStyleOption *option, const QWidget *widget) const
{
    return standardIconImplementation(standardIcon, option, widget);
}

QIcon MirrowStyle::standardIconImplementation(
    StandardPixmap standardIcon, const QStyleOption *option, const QWidget *widget) const
{
    switch (standardIcon) {
    case SP_ToolBarHorizontalExtensionButton:
        return d->extension;
    case SP_ToolBarVerticalExtensionButton: {
        // The same arrow, pointing down.
        QIcon icon;
        for (const QSize &size : d->extension.availableSizes())
            icon.addPixmap(d->extension.pixmap(size).transformed(QTransform().rotate(90)));
        return icon;
    }
    default:
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    }
}
