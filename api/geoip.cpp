#include "geoip.h"

#include "xmlanswer.h"

class GeoIpData : public QSharedData
{
public:
    bool null = true;
    QString address;
    QString location;
    Country country;
    QString isp;
    Coordinate coord;
};

GeoIp::GeoIp()
    : d(new GeoIpData)
{
}

GeoIp::GeoIp(const GeoIp &other) = default;
GeoIp &GeoIp::operator=(const GeoIp &other) = default;
GeoIp::~GeoIp() = default;

bool GeoIp::isNull() const { return d->null; }
QString GeoIp::address() const { return d->address; }
QString GeoIp::location() const { return d->location; }
Country GeoIp::country() const { return d->country; }
QString GeoIp::isp() const { return d->isp; }
Coordinate GeoIp::coord() const { return d->coord; }

void GeoIp::setAddress(const QString &address)
{
    d->address = address;
    d->null = false;
}

void GeoIp::setLocation(const QString &location)
{
    d->location = location;
    d->null = false;
}

void GeoIp::setCountry(const Country &country)
{
    d->country = country;
    d->null = false;
}

void GeoIp::setIsp(const QString &isp)
{
    d->isp = isp;
    d->null = false;
}

void GeoIp::setCoord(const Coordinate &coord)
{
    d->coord = coord;
    d->null = false;
}

GeoIp GeoIp::fromXml(QXmlStreamReader &reader)
{
    GeoIp geoIp;
    geoIp.d->null = false;
    XmlAnswer::readUntilEnd(reader, QStringLiteral("geoip"), [&geoIp](QXmlStreamReader &reader) {
        const QStringView name = reader.name();
        if (name == QLatin1String("address"))
            geoIp.d->address = reader.readElementText();
        else if (name == QLatin1String("country"))
            geoIp.d->country = Country::fromXml(reader);
        else if (name == QLatin1String("isp"))
            geoIp.d->isp = reader.readElementText();
        else if (name == QLatin1String("location"))
            geoIp.d->location = reader.readElementText();
        else if (name == QLatin1String("coord"))
            geoIp.d->coord = Coordinate::fromXml(reader);
    });
    return geoIp;
}
