#include "fancytabbar.h"

#include "fancytab.h"
#include "hidpi.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleFactory>
#include <QToolTip>

#include <algorithm>

namespace {

constexpr double SideBarFontPointSize = 7.5;
constexpr int IconSize = 32;

QFont sideBarFont(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(SideBarFontPointSize);
    font.setWeight(QFont::Bold);
    return font;
}

} // namespace

FancyTabBar::FancyTabBar(QWidget *parent)
    : QWidget(parent)
    , marginLeft(mHiDpiSize(4))
    , marginTop(mHiDpiSize(22))
    , marginRight(mHiDpiSize(4))
    , marginBottom(mHiDpiSize(4))
{
    // A widget does not own the style it is given: the bar keeps it as a child.
    QStyle *plain = QStyleFactory::create(QStringLiteral("windows"));
    plain->setParent(this);
    setStyle(plain);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    setMinimumWidth(std::max(mHiDpiSize(40), 2 * marginTop));
    setAttribute(Qt::WA_Hover, true);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    triggerTimer.setSingleShot(true);
    triggerTimer.setInterval(0);
    connect(&triggerTimer, &QTimer::timeout, this, &FancyTabBar::emitCurrentIndex);
}

FancyTabBar::~FancyTabBar()
{
    // The tabs are children; their animations must not repaint a bar being destroyed.
    qDeleteAll(std::exchange(tabs, {}));
}

QSize FancyTabBar::tabSizeHint(bool minimum) const
{
    const QFontMetrics metrics(sideBarFont(font()));
    int labelWidth = 0;
    for (const FancyTab *tab : tabs)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(tab->text));
    const int iconHeight = minimum ? 0 : mHiDpiSize(IconSize);
    const int width = std::max(mHiDpiSize(60 + 2 + 12), labelWidth + mHiDpiSize(20 + 4));
    return QSize(width, metrics.height() + iconHeight + 2 * marginBottom + mHiDpiSize(12));
}

QSize FancyTabBar::sizeHint() const
{
    const QSize tab = tabSizeHint();
    return QSize(tab.width(), tab.height() * int(tabs.size()));
}

QSize FancyTabBar::minimumSizeHint() const
{
    const QSize tab = tabSizeHint(true);
    return QSize(tab.width(), tab.height() * int(tabs.size()));
}

QRect FancyTabBar::tabRect(int index) const
{
    const QSize size = tabSizeHint();
    return QRect(0, index * size.height(), width(), size.height());
}

int FancyTabBar::tabAt(const QPoint &position) const
{
    for (int i = 0; i < tabs.size(); ++i) {
        if (tabRect(i).contains(position))
            return i;
    }
    return -1;
}

void FancyTabBar::insertTab(int index, const QIcon &icon, const QString &label)
{
    auto *tab = new FancyTab(this);
    tab->icon = icon;
    tab->text = label;
    index = std::clamp(index, 0, int(tabs.size()));
    tabs.insert(index, tab);
    if (current >= index)
        ++current;
    updateGeometry();
    update();
}

void FancyTabBar::setTabEnabled(int index, bool enabled)
{
    if (index < 0 || index >= tabs.size())
        return;
    tabs.at(index)->enabled = enabled;
    update(tabRect(index));
}

bool FancyTabBar::isTabEnabled(int index) const
{
    return index >= 0 && index < tabs.size() && tabs.at(index)->enabled;
}

void FancyTabBar::setTabText(int index, const QString &label)
{
    if (index < 0 || index >= tabs.size())
        return;
    tabs.at(index)->text = label;
    updateGeometry();
    update();
}

QString FancyTabBar::tabText(int index) const
{
    return index >= 0 && index < tabs.size() ? tabs.at(index)->text : QString();
}

void FancyTabBar::setTabToolTip(int index, const QString &toolTip)
{
    if (index >= 0 && index < tabs.size())
        tabs.at(index)->toolTip = toolTip;
}

int FancyTabBar::count() const
{
    return int(tabs.size());
}

int FancyTabBar::currentIndex() const
{
    return current;
}

float FancyTabBar::tabFader(int index) const
{
    return index >= 0 && index < tabs.size() ? tabs.at(index)->fader() : 0;
}

bool FancyTabBar::setCurrentIndex(int index)
{
    if (!isTabEnabled(index))
        return false;
    current = index;
    update();
    return true;
}

void FancyTabBar::emitCurrentIndex()
{
    emit currentChanged(current);
}

bool FancyTabBar::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int index = tabAt(help->pos());
        if (index >= 0 && !tabs.at(index)->toolTip.isEmpty()) {
            QToolTip::showText(help->globalPos(), tabs.at(index)->toolTip, this);
            return true;
        }
    }
    return QWidget::event(event);
}

void FancyTabBar::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    const int index = tabAt(event->position().toPoint());
    if (index < 0 || !tabs.at(index)->enabled)
        return;
    current = index;
    update();
    triggerTimer.start();
}

void FancyTabBar::mouseMoveEvent(QMouseEvent *event)
{
    const int index = tabAt(event->position().toPoint());
    if (index == hoverIndex)
        return;
    if (hoverIndex >= 0)
        tabs.at(hoverIndex)->fadeOut();
    hoverIndex = index;
    if (index < 0) {
        hoverRect = QRect();
        return;
    }
    tabs.at(index)->fadeIn();
    hoverRect = tabRect(index);
}

void FancyTabBar::enterEvent(QEnterEvent *event)
{
    Q_UNUSED(event)
    hoverRect = QRect();
    hoverIndex = -1;
}

void FancyTabBar::leaveEvent(QEvent *event)
{
    Q_UNUSED(event)
    hoverIndex = -1;
    hoverRect = QRect();
    for (FancyTab *tab : std::as_const(tabs))
        tab->fadeOut();
}

void FancyTabBar::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    for (int i = 0; i < tabs.size(); ++i) {
        if (i != current)
            paintTab(&painter, i);
    }
    // The current tab last, so its frame lies over its neighbours.
    if (current >= 0 && current < tabs.size())
        paintTab(&painter, current);
}

void FancyTabBar::paintTab(QPainter *painter, int index) const
{
    const FancyTab *tab = tabs.at(index);
    const QRect rect = tabRect(index);
    const bool selected = index == current;
    const bool enabled = tab->enabled;
    painter->save();
    if (selected) {
        painter->fillRect(rect, QColor(255, 255, 255, 60));
        const int mark = mHiDpiSize(3);
        painter->fillRect(QRect(rect.right() - mark + 1, rect.top(), mark, rect.height()), QColor(255, 255, 255));
        painter->setPen(QColor(0, 0, 0, 60));
        painter->drawLine(rect.topLeft(), rect.topRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    } else if (enabled && tab->fader() > 0) {
        painter->fillRect(rect, QColor(255, 255, 255, int(tab->fader())));
    }

    QFont font = sideBarFont(painter->font());
    painter->setFont(font);
    const QFontMetrics metrics(font);
    const int iconSize = mHiDpiSize(IconSize);
    const QRect textRect(rect.left(), rect.bottom() - marginBottom - metrics.height() - mHiDpiSize(6), rect.width(),
                         metrics.height());
    const QRect iconRect(rect.center().x() - iconSize / 2, textRect.top() - iconSize - mHiDpiSize(2), iconSize, iconSize);
    tab->icon.paint(painter, iconRect, Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);
    painter->setPen(enabled ? QColor(255, 255, 255) : QColor(255, 255, 255, 110));
    painter->drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine,
                      metrics.elidedText(tab->text, Qt::ElideRight, rect.width() - mHiDpiSize(4)));
    painter->restore();
}
