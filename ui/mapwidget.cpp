#include "mapwidget.h"

#include "hidpi.h"

#include <QPainter>

namespace {

// Where a pin's tip lies within its picture.
constexpr QPoint PinTip(15, 27);

// The picture of the file, or its @2x version on a screen of twice the density.
QPixmap picture(const QString &name)
{
    const bool doubled = mHiDpiFixedFactor2() >= 2.0;
    QPixmap pixmap(
        QStringLiteral(":/images/%1%2.png").arg(name, doubled ? QStringLiteral("@2x") : QString()));
    if (doubled)
        pixmap.setDevicePixelRatio(2.0);
    return pixmap;
}

} // namespace

class MapWidgetPrivate
{
public:
    VpnServer server;
    Coordinate userLocation;
    QPixmap world;
    QPixmap serverPin;
    QPixmap userPin;
};

MapWidget::MapWidget(QWidget *parent)
    : QFrame(parent)
    , d(std::make_unique<MapWidgetPrivate>())
{
    d->world = picture(QStringLiteral("world"));
    d->serverPin = pinPixmap(ServerPin);
    d->userPin = pinPixmap(UserPin);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

MapWidget::~MapWidget() = default;

void MapWidget::setLocations(const VpnServer &server, const Coordinate &userLocation)
{
    d->server = server;
    d->userLocation = userLocation;
    update();
}

QSize MapWidget::sizeHint() const
{
    return mHiDpiSize(MapWidth, MapHeight);
}

QPixmap MapWidget::pinPixmap(Pin pin)
{
    return picture(pin == UserPin ? QStringLiteral("location_pin2") : QStringLiteral("location_pin"));
}

QPoint MapWidget::mapPoint(const Coordinate &coordinate)
{
    return coordinate.toMapPoint(MapWidth, MapHeight);
}

void MapWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // The map is drawn in its design pixels, scaled where Qt does not scale itself.
    const qreal scale = qreal(mHiDpiSize(MapWidth)) / MapWidth;
    painter.scale(scale, scale);
    painter.drawPixmap(0, 0, d->world);
    if (d->server.isNull())
        return;
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(0, 0, MapWidth - 1, MapHeight - 1);
    const Coordinate serverLocation = d->server.location().coord();
    if (!serverLocation.isNull())
        painter.drawPixmap(mapPoint(serverLocation) - PinTip, d->serverPin);
    if (!d->userLocation.isNull())
        painter.drawPixmap(mapPoint(d->userLocation) - PinTip, d->userPin);
}
