#include "vpnserversrequest.h"

#include "xmlanswer.h"

#include <QXmlStreamWriter>

void VpnServersRequest::writeBody(QXmlStreamWriter &writer) const
{
    writer.writeEmptyElement(QStringLiteral("vpn-servers"));
}

bool VpnServersRequest::readBody(QXmlStreamReader &reader)
{
    XmlAnswer::readUntilEnd(reader, QStringLiteral("vpn-servers"), [this](QXmlStreamReader &reader) {
        if (reader.name() == QLatin1String("vpn-server"))
            list.append(VpnServer::fromXml(reader));
    });
    return true;
}

QList<VpnServer> VpnServersRequest::servers() const
{
    return list;
}
