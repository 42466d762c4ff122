#pragma once

#include <QMetaType>
#include <QPoint>
#include <QSharedDataPointer>

class QXmlStreamReader;
class CoordinateData;

// A point on the globe in degrees, with altitude.
class Coordinate
{
public:
    Coordinate();
    Coordinate(const Coordinate &other);
    Coordinate &operator=(const Coordinate &other);
    ~Coordinate();

    bool isNull() const;
    double lng() const;
    double lat() const;
    double alt() const;

    void setLng(double lng);
    void setLat(double lat);
    void setAlt(double alt);

    // Great-circle distance in metres, truncated.
    int distanceTo(const Coordinate &other) const;
    // The point on an equirectangular world map of the given size.
    QPoint toMapPoint(int width, int height) const;

    // Reads the "lng", "lat" and "alt" attributes of the current element.
    static Coordinate fromXml(QXmlStreamReader &reader);

private:
    QSharedDataPointer<CoordinateData> d;
};

Q_DECLARE_METATYPE(Coordinate)
