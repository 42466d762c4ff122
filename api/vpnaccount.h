#pragma once

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class QXmlStreamReader;
class VpnAccountData;

// The credentials of the VPN connections themselves, distinct from the account login.
class VpnAccount
{
public:
    VpnAccount();
    VpnAccount(const VpnAccount &other);
    VpnAccount &operator=(const VpnAccount &other);
    ~VpnAccount();

    bool isNull() const;
    QString username() const;
    QString password() const;
    QString sharedSecret() const;

    void setUsername(const QString &username);
    void setPassword(const QString &password);
    void setSharedSecret(const QString &sharedSecret);

    static VpnAccount fromXml(QXmlStreamReader &reader);

private:
    QSharedDataPointer<VpnAccountData> d;
};

Q_DECLARE_METATYPE(VpnAccount)
