#pragma once

#include "geoip.h"
#include "request.h"
#include "vpnconfiguration.h"
#include "vpnserver.h"

// Asks the provider for this machine's public address and location.
class GeoIpRequest : public Request
{
    Q_OBJECT

public:
    void setGeoIpMode(bool mode);
    bool geoIpMode() const;
    // The connection attempt in progress when the request was made.
    void setConfiguration(const VpnConfiguration &configuration);
    VpnConfiguration configuration() const;
    // The server of that attempt; its uid is sent in geo-IP mode.
    void setServer(const VpnServer &server);
    VpnServer server() const;
    void setState(int state);
    int state() const;
    // The connection controller's change counter at the same moment; not sent.
    void setConnectionIndex(int index);
    int connectionIndex() const;

    bool requiresLogin() const override;
    void writeBody(QXmlStreamWriter &writer) const override;
    bool readBody(QXmlStreamReader &reader) override;

    GeoIp geoIp() const;

private:
    bool mode = false;
    VpnConfiguration vpnConfiguration;
    VpnServer vpnServer;
    int connectionState = 0;
    int index = -1;
    GeoIp result;
};
