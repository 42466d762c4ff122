#include "location.h"

#include "xmlanswer.h"

class LocationData : public QSharedData
{
public:
    bool null = true;
    QString name;
    Coordinate coord;
};

namespace {

// The record of every null location until it is changed: a server list brings thousands
// of server records, each made with null parts that its parser then replaces.
const QSharedDataPointer<LocationData> &nullData()
{
    static const QSharedDataPointer<LocationData> data(new LocationData);
    return data;
}

} // namespace

Location::Location()
    : d(nullData())
{
}

Location::Location(const Location &other) = default;
Location &Location::operator=(const Location &other) = default;
Location::~Location() = default;

bool Location::isNull() const { return d->null; }
QString Location::name() const { return d->name; }
Coordinate Location::coord() const { return d->coord; }

void Location::setName(const QString &name)
{
    d->name = name;
    d->null = false;
}

void Location::setCoord(const Coordinate &coord)
{
    d->coord = coord;
    d->null = false;
}

Location Location::fromXml(QXmlStreamReader &reader)
{
    Location location;
    location.d->null = false;
    XmlAnswer::readUntilEnd(reader, QStringLiteral("location"), [&location](QXmlStreamReader &reader) {
        if (reader.name() == QLatin1String("name"))
            location.d->name = reader.readElementText();
        else if (reader.name() == QLatin1String("coord"))
            location.d->coord = Coordinate::fromXml(reader);
    });
    return location;
}
