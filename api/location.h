#pragma once

#include "coordinate.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class QXmlStreamReader;
class LocationData;

// A named place with its coordinate.
class Location
{
public:
    Location();
    Location(const Location &other);
    Location &operator=(const Location &other);
    ~Location();

    bool isNull() const;
    QString name() const;
    Coordinate coord() const;

    void setName(const QString &name);
    void setCoord(const Coordinate &coord);

    static Location fromXml(QXmlStreamReader &reader);

private:
    QSharedDataPointer<LocationData> d;
};

Q_DECLARE_METATYPE(Location)
