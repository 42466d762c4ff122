#include "alertwidget.h"

#include "extendedlabel.h"
#include "fontawesome.h"
#include "hidpi.h"

#include <QEvent>

class AlertWidgetPrivate
{
public:
    ExtendedLabel *close = nullptr;
};

AlertWidget::AlertWidget(Core *core, int kind, QWidget *parent)
    : NoticeWidget(core, kind, parent)
    , d(std::make_unique<AlertWidgetPrivate>())
{
    setLinksColored(true);
    setBorderWidths(1, 1, 1, 1);

    d->close = new ExtendedLabel(this);
    d->close->setObjectName(QStringLiteral("close"));
    d->close->setCursor(Qt::PointingHandCursor);
    if (FontAwesome *font = FontAwesome::instance()) {
        d->close->setFont(font->font(mHiDpiSize(14)));
        d->close->setText(FontAwesome::character(font->codePoint(QStringLiteral("times"))));
    }
    d->close->setToolTip(tr("Close"));
    addTrailingWidget(d->close);
    connect(d->close, &ExtendedLabel::clicked, this, &QWidget::hide);
}

AlertWidget::~AlertWidget() = default;

bool AlertWidget::isCloseVisible() const
{
    return !d->close->isHidden();
}

void AlertWidget::setCloseVisible(bool visible)
{
    d->close->setVisible(visible);
}

void AlertWidget::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        d->close->setToolTip(tr("Close"));
    NoticeWidget::changeEvent(event);
}
