#include "fancytabwidget.h"

#include "fancytabbar.h"
#include "mirrowstyle.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

FancyTabWidget::FancyTabWidget(QWidget *parent)
    : QWidget(parent)
    , bar(new FancyTabBar(this))
    , selectionWidget(new QWidget(this))
    , cornerLayout(new QVBoxLayout)
    , panels(new QStackedLayout)
{
    cornerLayout->setContentsMargins(0, 0, 0, 0);
    cornerLayout->setSpacing(0);
    cornerLayout->addStretch();

    auto *selection = new QVBoxLayout(selectionWidget);
    selection->setContentsMargins(0, 0, 0, 0);
    selection->setSpacing(0);
    selection->addWidget(bar, 1);
    selection->addLayout(cornerLayout);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(selectionWidget);
    layout->addLayout(panels, 1);

    connect(bar, &FancyTabBar::currentChanged, this, &FancyTabWidget::showWidget);
}

void FancyTabWidget::insertTab(int index, QWidget *widget, const QIcon &icon, const QString &label)
{
    panels->insertWidget(index, widget);
    bar->insertTab(index, icon, label);
}

void FancyTabWidget::setTabEnabled(int index, bool enabled)
{
    bar->setTabEnabled(index, enabled);
}

void FancyTabWidget::setTabText(int index, const QString &label)
{
    bar->setTabText(index, label);
}

void FancyTabWidget::addCornerWidget(QWidget *widget)
{
    cornerLayout->addWidget(widget);
}

int FancyTabWidget::currentIndex() const
{
    return bar->currentIndex();
}

int FancyTabWidget::count() const
{
    return bar->count();
}

QWidget *FancyTabWidget::widget(int index) const
{
    return panels->widget(index);
}

FancyTabBar *FancyTabWidget::tabBar() const
{
    return bar;
}

void FancyTabWidget::setCurrentIndex(int index)
{
    if (bar->setCurrentIndex(index))
        showWidget(index);
}

void FancyTabWidget::setSelectionWidgetHidden(bool hidden)
{
    selectionWidget->setHidden(hidden);
}

void FancyTabWidget::showWidget(int index)
{
    emit currentAboutToShow(index);
    panels->setCurrentIndex(index);
    emit currentChanged(index);
}

void FancyTabWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    if (selectionWidget->isHidden())
        return;
    QPainter painter(this);
    const QRect column = selectionWidget->geometry();
    QColor base = MirrowStyle::barColor();
    if (!base.isValid())
        base = QColor(0x4a, 0x6e, 0x93);
    QLinearGradient shade(column.topLeft(), column.topRight());
    shade.setColorAt(0, base.lighter(110));
    shade.setColorAt(1, base);
    painter.fillRect(column, shade);
    painter.setPen(base.darker(130));
    painter.drawLine(column.topRight(), column.bottomRight());
}
