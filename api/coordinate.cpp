#include "coordinate.h"

#include <QXmlStreamReader>
#include <QtMath>
#include <cmath>

class CoordinateData : public QSharedData
{
public:
    bool null = true;
    double lng = 0;
    double lat = 0;
    double alt = 0;
};

Coordinate::Coordinate()
    : d(new CoordinateData)
{
}

Coordinate::Coordinate(const Coordinate &other) = default;
Coordinate &Coordinate::operator=(const Coordinate &other) = default;
Coordinate::~Coordinate() = default;

bool Coordinate::isNull() const { return d->null; }
double Coordinate::lng() const { return d->lng; }
double Coordinate::lat() const { return d->lat; }
double Coordinate::alt() const { return d->alt; }

void Coordinate::setLng(double lng)
{
    d->lng = lng;
    d->null = false;
}

void Coordinate::setLat(double lat)
{
    d->lat = lat;
    d->null = false;
}

void Coordinate::setAlt(double alt)
{
    d->alt = alt;
    d->null = false;
}

int Coordinate::distanceTo(const Coordinate &other) const
{
    constexpr double EarthRadius = 6371000.0;
    const double dLng = qDegreesToRadians(other.d->lng - d->lng);
    const double dLat = qDegreesToRadians(other.d->lat - d->lat);
    const double h = std::pow(std::sin(dLat / 2), 2)
        + std::cos(qDegreesToRadians(d->lat)) * std::cos(qDegreesToRadians(other.d->lat)) * std::pow(std::sin(dLng / 2), 2);
    return int(2 * std::atan2(std::sqrt(h), std::sqrt(1 - h)) * EarthRadius);
}

QPoint Coordinate::toMapPoint(int width, int height) const
{
    return QPoint(int((d->lng + 180) * width / 360), int((90 - d->lat) * height / 180));
}

Coordinate Coordinate::fromXml(QXmlStreamReader &reader)
{
    Coordinate coordinate;
    const QXmlStreamAttributes attributes = reader.attributes();
    const auto read = [&attributes](const QString &name, double &field) {
        bool ok = false;
        const double value = attributes.value(name).toDouble(&ok);
        if (ok)
            field = value;
    };
    read(QStringLiteral("lng"), coordinate.d->lng);
    read(QStringLiteral("lat"), coordinate.d->lat);
    read(QStringLiteral("alt"), coordinate.d->alt);
    coordinate.d->null = false;
    return coordinate;
}
