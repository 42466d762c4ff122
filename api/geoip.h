#pragma once

#include "coordinate.h"
#include "country.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class QXmlStreamReader;
class GeoIpData;

// The public address of this machine as the provider sees it, and where it is.
class GeoIp
{
public:
    GeoIp();
    GeoIp(const GeoIp &other);
    GeoIp &operator=(const GeoIp &other);
    ~GeoIp();

    bool isNull() const;
    QString address() const;
    QString location() const;
    Country country() const;
    QString isp() const;
    Coordinate coord() const;

    void setAddress(const QString &address);
    void setLocation(const QString &location);
    void setCountry(const Country &country);
    void setIsp(const QString &isp);
    void setCoord(const Coordinate &coord);

    static GeoIp fromXml(QXmlStreamReader &reader);

private:
    QSharedDataPointer<GeoIpData> d;
};

Q_DECLARE_METATYPE(GeoIp)
