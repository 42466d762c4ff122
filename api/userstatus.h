#pragma once

#include "message.h"
#include "paymentnotification.h"
#include "row.h"
#include "term.h"
#include "vpnaccount.h"
#include "vpnresource.h"

#include <QList>
#include <QMetaType>
#include <QSharedDataPointer>

class QXmlStreamReader;
class UserStatusData;

// The state of the user's account: what it may use, for how long, and what the
// provider has to say.
class UserStatus
{
public:
    UserStatus();
    UserStatus(const UserStatus &other);
    UserStatus &operator=(const UserStatus &other);
    ~UserStatus();

    bool isNull() const;
    bool hasAdminFlag() const;
    bool isTrial() const;
    bool isStealthOpenVpn() const;
    qint64 timestamp() const;
    int updateInterval() const;
    bool isVpnDisconnect() const;
    VpnAccount vpnAccount() const;
    QList<VpnResource> vpnResources() const;
    Term term() const;
    PaymentNotification paymentNotification() const;
    Message message() const;
    QList<Row> rows() const;

    void setAdmin(bool admin);
    void setTrial(bool trial);
    void setStealthOpenVpn(bool stealthOpenVpn);
    void setTimestamp(qint64 timestamp);
    void setUpdateInterval(int updateInterval);
    void setVpnDisconnect(bool vpnDisconnect);
    void setVpnAccount(const VpnAccount &vpnAccount);
    void setVpnResources(const QList<VpnResource> &vpnResources);
    void setTerm(const Term &term);
    void setPaymentNotification(const PaymentNotification &paymentNotification);
    void setMessage(const Message &message);
    void setRows(const QList<Row> &rows);

    bool isAdmin() const;
    // The account may connect: a trial, or a paid term.
    bool isActive() const;

    static UserStatus fromXml(QXmlStreamReader &reader);

private:
    QSharedDataPointer<UserStatusData> d;
};

Q_DECLARE_METATYPE(UserStatus)
