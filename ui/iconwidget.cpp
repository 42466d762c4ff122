#include "iconwidget.h"

#include "animationwidget.h"
#include "hidpi.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace {

enum Page { DisconnectedPage = 0, ChangingPage = 1, ConnectedPage = 2 };

QLabel *iconLabel(bool grey, QWidget *parent)
{
    QPixmap pixmap(mHiDpiFileName2(QStringLiteral(":/images/app/%1_app.png"), 32));
    if (!pixmap.isNull())
        me_adapt_pixmap(pixmap, mHiDpiFactor(), 32, 32);
    if (grey)
        mDesaturate(pixmap, 1.0f);
    auto *label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    label->setPixmap(pixmap);
    return label;
}

} // namespace

class IconWidgetPrivate
{
public:
    AnimationWidget *animation = nullptr;
    // Cleared when the corner has opened the menu, set again on entering or leaving.
    bool hotspotArmed = true;
};

IconWidget::IconWidget(QWidget *parent)
    : QStackedWidget(parent)
    , d(std::make_unique<IconWidgetPrivate>())
{
    auto *changing = new QWidget(this);
    d->animation = new AnimationWidget(changing);
    if (mHiDpiFactor() > 1.0)
        d->animation->setImage(QStringLiteral(":/status/connecting64.png"), 16, mHiDpiFactor(), 512, 32);
    else
        d->animation->setImage(QStringLiteral(":/status/connecting32.png"), 16, mHiDpiFactor(), 512, 32);
    d->animation->setInterval(40);
    auto *layout = new QHBoxLayout(changing);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d->animation, 0, Qt::AlignCenter);

    insertWidget(DisconnectedPage, iconLabel(true, this));
    insertWidget(ChangingPage, changing);
    insertWidget(ConnectedPage, iconLabel(false, this));
    // The pages let the mouse through to the icon, which watches for the corner.
    for (int i = 0; i < count(); ++i)
        widget(i)->setAttribute(Qt::WA_TransparentForMouseEvents);
    setMouseTracking(true);
}

IconWidget::~IconWidget() = default;

void IconWidget::setState(VpnConnection::State state)
{
    switch (state) {
    case VpnConnection::Disconnected:
        setCurrentIndex(DisconnectedPage);
        break;
    case VpnConnection::Connected:
        setCurrentIndex(ConnectedPage);
        break;
    case VpnConnection::Connecting:
    case VpnConnection::Disconnecting:
        setCurrentIndex(ChangingPage);
        d->animation->start();
        return;
    }
    d->animation->stop();
}

void IconWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void IconWidget::mouseMoveEvent(QMouseEvent *event)
{
    const int corner = mHiDpiSize(8);
    const QRect hotspot(width() - corner, height() - corner, corner, corner);
    if (d->hotspotArmed && event->buttons() == Qt::NoButton
        && hotspot.contains(event->position().toPoint())) {
        d->hotspotArmed = false;
        emit hotspotEntered();
    }
    // The window drags itself by moves with a button held.
    event->ignore();
}

void IconWidget::enterEvent(QEnterEvent *event)
{
    d->hotspotArmed = true;
    QStackedWidget::enterEvent(event);
}

void IconWidget::leaveEvent(QEvent *event)
{
    d->hotspotArmed = true;
    QStackedWidget::leaveEvent(event);
}
