#pragma once

#include "request.h"
#include "vpnserver.h"

#include <QList>

// Fetches the list of VPN servers.
class VpnServersRequest : public Request
{
    Q_OBJECT

public:
    void writeBody(QXmlStreamWriter &writer) const override;
    bool readBody(QXmlStreamReader &reader) override;
    QList<VpnServer> servers() const;
    // Hands the list over, leaving none here.
    QList<VpnServer> takeServers();

private:
    QList<VpnServer> list;
};
