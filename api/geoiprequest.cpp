#include "geoiprequest.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

void GeoIpRequest::setGeoIpMode(bool geoIpMode) { mode = geoIpMode; }
bool GeoIpRequest::geoIpMode() const { return mode; }
void GeoIpRequest::setConfiguration(const VpnConfiguration &configuration) { vpnConfiguration = configuration; }
VpnConfiguration GeoIpRequest::configuration() const { return vpnConfiguration; }
void GeoIpRequest::setServer(const VpnServer &server) { vpnServer = server; }
VpnServer GeoIpRequest::server() const { return vpnServer; }
void GeoIpRequest::setState(int state) { connectionState = state; }
int GeoIpRequest::state() const { return connectionState; }
void GeoIpRequest::setConnectionIndex(int connectionIndex) { index = connectionIndex; }
int GeoIpRequest::connectionIndex() const { return index; }
GeoIp GeoIpRequest::geoIp() const { return result; }

bool GeoIpRequest::requiresLogin() const
{
    return false;
}

void GeoIpRequest::writeBody(QXmlStreamWriter &writer) const
{
    writer.writeStartElement(QStringLiteral("geoip"));
    if (!vpnConfiguration.isNull() && mode && !vpnServer.isNull())
        writer.writeAttribute(QStringLiteral("uid"), vpnServer.uid());
    writer.writeAttribute(QStringLiteral("s"), QString::number(connectionState));
    writer.writeEndElement();
}

bool GeoIpRequest::readBody(QXmlStreamReader &reader)
{
    // The value is the first "geoip" below the root, never the root itself.
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("geoip")) {
            result = GeoIp::fromXml(reader);
            return true;
        }
    }
    return false;
}
