#include "vpnserversrequest.h"

#include "localtimereader.h"
#include "xmlanswer.h"

#include <QXmlStreamWriter>

#include <utility>

void VpnServersRequest::writeBody(QXmlStreamWriter &writer) const
{
    writer.writeEmptyElement(QStringLiteral("vpn-servers"));
}

bool VpnServersRequest::readBody(QXmlStreamReader &reader)
{
    LocalTimeReader times;
    XmlAnswer::readUntilEnd(reader, QStringLiteral("vpn-servers"), [this, &times](QXmlStreamReader &reader) {
        if (reader.name() == QLatin1String("vpn-server"))
            list.append(VpnServer::fromXml(reader, times));
    });
    return true;
}

QList<VpnServer> VpnServersRequest::servers() const
{
    return list;
}

QList<VpnServer> VpnServersRequest::takeServers()
{
    return std::exchange(list, {});
}
