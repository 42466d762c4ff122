#include "connectbutton.h"

#include "hidpi.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

class ConnectButtonPrivate
{
public:
    bool hovered = false;
    VpnConnection::State state = VpnConnection::Disconnected;

    QColor stateColor() const
    {
        return state == VpnConnection::Disconnected ? QColor(0, 153, 0) : QColor(153, 0, 9);
    }
};

ConnectButton::ConnectButton(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<ConnectButtonPrivate>())
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

ConnectButton::~ConnectButton() = default;

QSize ConnectButton::sizeHint() const
{
    return mHiDpiSize(42, 42);
}

void ConnectButton::setState(VpnConnection::State state)
{
    if (d->state == state)
        return;
    d->state = state;
    update();
}

void ConnectButton::paintEvent(QPaintEvent *)
{
    const QColor color = d->stateColor();
    const QColor symbolColor = d->hovered ? QColor(Qt::white) : color;
    const qreal penWidth = mHiDpiSize(4);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, penWidth));
    painter.setBrush(d->hovered ? color : QColor(Qt::white));
    const qreal inset = penWidth / 2;
    painter.drawEllipse(QRectF(rect()).adjusted(inset, inset, -inset, -inset));

    const qreal side = mHiDpiSize(20);
    const QRectF symbol(QPointF(width() - side, height() - side) / 2, QSizeF(side, side));
    painter.setPen(Qt::NoPen);
    painter.setBrush(symbolColor);
    if (d->state != VpnConnection::Disconnected) {
        painter.drawRect(symbol);
        return;
    }
    // A triangle's visual centre lies left of its box's: the shift balances it in the ring.
    const QRectF play = symbol.translated(mHiDpiSize(2), 0);
    QPainterPath triangle;
    triangle.moveTo(play.topLeft());
    triangle.lineTo(play.right(), play.center().y());
    triangle.lineTo(play.bottomLeft());
    triangle.closeSubpath();
    painter.drawPath(triangle);
}

void ConnectButton::enterEvent(QEnterEvent *event)
{
    d->hovered = true;
    update();
    QWidget::enterEvent(event);
}

void ConnectButton::leaveEvent(QEvent *event)
{
    d->hovered = false;
    update();
    QWidget::leaveEvent(event);
}

void ConnectButton::mouseReleaseEvent(QMouseEvent *event)
{
    // A press dragged off the button and released elsewhere is no click.
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    emit clicked();
}
