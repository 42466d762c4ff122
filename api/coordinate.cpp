#include "coordinate.h"

#include "xmlanswer.h"

#include <QXmlStreamReader>
#include <QtMath>
#include <cmath>
#include <limits>

class CoordinateData : public QSharedData
{
public:
    bool null = true;
    double lng = 0;
    double lat = 0;
    double alt = 0;
};

namespace {

// The record of every null coordinate until it is changed: a server list brings thousands
// of server records, each made with null parts that its parser then replaces.
const QSharedDataPointer<CoordinateData> &nullData()
{
    static const QSharedDataPointer<CoordinateData> data(new CoordinateData);
    return data;
}

} // namespace

Coordinate::Coordinate()
    : d(nullData())
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
    // A value off the globe, infinite or not a number is dropped: it would make the
    // integer conversions of toMapPoint() and distanceTo() undefined.
    const auto read = [&attributes](const QString &name, double limit, double &field) {
        bool ok = false;
        const double value = XmlAnswer::toDouble(attributes.value(name), &ok);
        if (ok && std::isfinite(value) && std::abs(value) <= limit)
            field = value;
    };
    read(QStringLiteral("lng"), 180, coordinate.d->lng);
    read(QStringLiteral("lat"), 90, coordinate.d->lat);
    read(QStringLiteral("alt"), std::numeric_limits<double>::max(), coordinate.d->alt);
    coordinate.d->null = false;
    return coordinate;
}
