#pragma once

#include "coordinate.h"
#include "vpnserver.h"

#include <QFrame>
#include <QPixmap>
#include <QPoint>
#include <QSize>

#include <memory>

class MapWidgetPrivate;

// The world map of the server details: the server's pin and, where the user's own
// location is known, the user's pin.
class MapWidget : public QFrame
{
    Q_OBJECT

public:
    explicit MapWidget(QWidget *parent = nullptr);
    ~MapWidget() override;

    // Either may be null: a missing one is not drawn.
    void setLocations(const VpnServer &server, const Coordinate &userLocation);

    QSize sizeHint() const override;

    enum Pin { ServerPin, UserPin };
    // The pin's picture for this screen; its tip is 15 px right of and 27 px below
    // the top-left corner.
    static QPixmap pinPixmap(Pin pin);

    // The point of the 800 x 400 map that shows the place; the tip of its pin.
    static QPoint mapPoint(const Coordinate &coordinate);

    static constexpr int MapWidth = 800;
    static constexpr int MapHeight = 400;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<MapWidgetPrivate> d;
};
