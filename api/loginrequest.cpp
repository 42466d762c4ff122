#include "loginrequest.h"

#include "xmlanswer.h"

#include <QXmlStreamWriter>

void LoginRequest::writeBody(QXmlStreamWriter &writer) const
{
    writer.writeStartElement(bodyElement());
    writeStats(writer);
    writer.writeEndElement();
}

QString LoginRequest::bodyElement() const
{
    return QStringLiteral("login");
}

bool LoginRequest::readBody(QXmlStreamReader &reader)
{
    XmlAnswer::readUntilEnd(reader, QStringLiteral("login"), [this](QXmlStreamReader &reader) {
        if (reader.name() == QLatin1String("user-status"))
            status = UserStatus::fromXml(reader);
        else
            readCommonChild(reader);
    });
    return true;
}

bool LoginRequest::readCommonChild(QXmlStreamReader &reader)
{
    const QStringView name = reader.name();
    if (name == QLatin1String("geoip")) {
        geo = GeoIp::fromXml(reader);
    } else if (name == QLatin1String("software")) {
        XmlAnswer::readUntilEnd(reader, QStringLiteral("software"), [this](QXmlStreamReader &reader) {
            if (reader.name() == QLatin1String("update")) {
                updateAvailable = true;
                updateOptional = XmlAnswer::attribute(reader, QStringLiteral("optional")) == QLatin1String("true");
            } else if (reader.name() == QLatin1String("url") && updateAvailable) {
                url = reader.readElementText();
            }
        });
    } else if (name == QLatin1String("settings")) {
        XmlAnswer::readUntilEnd(reader, QStringLiteral("settings"), [this](QXmlStreamReader &reader) {
            if (reader.name() == QLatin1String("gq"))
                geoMode = XmlAnswer::attribute(reader, QStringLiteral("mode")) == QLatin1String("2");
        });
    } else if (name == QLatin1String("addresses")) {
        XmlAnswer::readUntilEnd(reader, QStringLiteral("addresses"), [this](QXmlStreamReader &reader) {
            if (reader.name() == QLatin1String("address"))
                apiAddresses.append(NetworkAddress(reader));
        });
    } else {
        return false;
    }
    return true;
}

GeoIp LoginRequest::geoIp() const { return geo; }
UserStatus LoginRequest::userStatus() const { return status; }
QList<NetworkAddress> LoginRequest::addresses() const { return apiAddresses; }
bool LoginRequest::isUpdateAvailable() const { return updateAvailable; }
bool LoginRequest::isUpdateOptional() const { return updateOptional; }
QString LoginRequest::updateUrl() const { return url; }
bool LoginRequest::geoIpMode() const { return geoMode; }
