#include "vpnaccount.h"

#include "xmlanswer.h"

class VpnAccountData : public QSharedData
{
public:
    bool null = true;
    QString username;
    QString password;
    QString sharedSecret;
};

VpnAccount::VpnAccount()
    : d(new VpnAccountData)
{
}

VpnAccount::VpnAccount(const VpnAccount &other) = default;
VpnAccount &VpnAccount::operator=(const VpnAccount &other) = default;
VpnAccount::~VpnAccount() = default;

bool VpnAccount::isNull() const { return d->null; }
QString VpnAccount::username() const { return d->username; }
QString VpnAccount::password() const { return d->password; }
QString VpnAccount::sharedSecret() const { return d->sharedSecret; }

void VpnAccount::setUsername(const QString &username)
{
    d->username = username;
    d->null = false;
}

void VpnAccount::setPassword(const QString &password)
{
    d->password = password;
    d->null = false;
}

void VpnAccount::setSharedSecret(const QString &sharedSecret)
{
    d->sharedSecret = sharedSecret;
    d->null = false;
}

VpnAccount VpnAccount::fromXml(QXmlStreamReader &reader)
{
    VpnAccount account;
    account.d->null = false;
    XmlAnswer::readUntilEnd(reader, QStringLiteral("vpn-account"), [&account](QXmlStreamReader &reader) {
        const QStringView name = reader.name();
        if (name == QLatin1String("username"))
            account.d->username = reader.readElementText();
        else if (name == QLatin1String("password"))
            account.d->password = reader.readElementText();
        else if (name == QLatin1String("shared-secret"))
            account.d->sharedSecret = reader.readElementText();
    });
    return account;
}
