#pragma once

#include "geoip.h"
#include "networkaddress.h"
#include "request.h"
#include "userstatus.h"

#include <QList>
#include <QString>

// The account login, with the stored or the given credentials. Its answer brings
// the account status, update news and the API addresses.
class LoginRequest : public Request
{
    Q_OBJECT

public:
    void writeBody(QXmlStreamWriter &writer) const override;
    bool readBody(QXmlStreamReader &reader) override;

    GeoIp geoIp() const;
    UserStatus userStatus() const;
    QList<NetworkAddress> addresses() const;
    bool isUpdateAvailable() const;
    bool isUpdateOptional() const;
    QString updateUrl() const;
    bool geoIpMode() const;

protected:
    // The body element: "login" here, "anonymous" for the anonymous login.
    virtual QString bodyElement() const;
    // Reads one child of the "login" answer; false when it is not one of the common ones.
    bool readCommonChild(QXmlStreamReader &reader);

private:
    GeoIp geo;
    UserStatus status;
    QList<NetworkAddress> apiAddresses;
    bool updateAvailable = false;
    bool updateOptional = false;
    QString url;
    bool geoMode = false;
};
