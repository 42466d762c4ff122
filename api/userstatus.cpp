#include "userstatus.h"

#include "xmlanswer.h"

class UserStatusData : public QSharedData
{
public:
    bool null = true;
    bool admin = false;
    bool trial = false;
    bool stealthOpenVpn = false;
    qint64 timestamp = 0;
    int updateInterval = 0;
    bool vpnDisconnect = false;
    VpnAccount vpnAccount;
    QList<VpnResource> vpnResources;
    Term term;
    PaymentNotification paymentNotification;
    Message message;
    QList<Row> rows;
};

UserStatus::UserStatus()
    : d(new UserStatusData)
{
}

UserStatus::UserStatus(const UserStatus &other) = default;
UserStatus &UserStatus::operator=(const UserStatus &other) = default;
UserStatus::~UserStatus() = default;

bool UserStatus::isNull() const { return d->null; }
bool UserStatus::hasAdminFlag() const { return d->admin; }
bool UserStatus::isTrial() const { return d->trial; }
bool UserStatus::isStealthOpenVpn() const { return d->stealthOpenVpn; }
qint64 UserStatus::timestamp() const { return d->timestamp; }
int UserStatus::updateInterval() const { return d->updateInterval; }
bool UserStatus::isVpnDisconnect() const { return d->vpnDisconnect; }
VpnAccount UserStatus::vpnAccount() const { return d->vpnAccount; }
QList<VpnResource> UserStatus::vpnResources() const { return d->vpnResources; }
Term UserStatus::term() const { return d->term; }
PaymentNotification UserStatus::paymentNotification() const { return d->paymentNotification; }
Message UserStatus::message() const { return d->message; }
QList<Row> UserStatus::rows() const { return d->rows; }

void UserStatus::setAdmin(bool admin)
{
    d->admin = admin;
    d->null = false;
}

void UserStatus::setTrial(bool trial)
{
    d->trial = trial;
    d->null = false;
}

void UserStatus::setStealthOpenVpn(bool stealthOpenVpn)
{
    d->stealthOpenVpn = stealthOpenVpn;
    d->null = false;
}

void UserStatus::setTimestamp(qint64 timestamp)
{
    d->timestamp = timestamp;
    d->null = false;
}

void UserStatus::setUpdateInterval(int updateInterval)
{
    d->updateInterval = updateInterval;
    d->null = false;
}

void UserStatus::setVpnDisconnect(bool vpnDisconnect)
{
    d->vpnDisconnect = vpnDisconnect;
    d->null = false;
}

void UserStatus::setVpnAccount(const VpnAccount &vpnAccount)
{
    d->vpnAccount = vpnAccount;
    d->null = false;
}

void UserStatus::setVpnResources(const QList<VpnResource> &vpnResources)
{
    d->vpnResources = vpnResources;
    d->null = false;
}

void UserStatus::setTerm(const Term &term)
{
    d->term = term;
    d->null = false;
}

void UserStatus::setPaymentNotification(const PaymentNotification &paymentNotification)
{
    d->paymentNotification = paymentNotification;
    d->null = false;
}

void UserStatus::setMessage(const Message &message)
{
    d->message = message;
    d->null = false;
}

void UserStatus::setRows(const QList<Row> &rows)
{
    d->rows = rows;
    d->null = false;
}

bool UserStatus::isAdmin() const
{
    return !d->null && d->admin;
}

bool UserStatus::isActive() const
{
    return !d->null && (d->trial || !d->term.isNull());
}

UserStatus UserStatus::fromXml(QXmlStreamReader &reader)
{
    UserStatus status;
    UserStatusData &data = *status.d;
    data.null = false;
    data.updateInterval = XmlAnswer::intAttribute(reader, QStringLiteral("update-interval"), 0);
    data.timestamp = XmlAnswer::int64Attribute(reader, QStringLiteral("timestamp"), 0);
    XmlAnswer::readUntilEnd(reader, QStringLiteral("user-status"), [&data](QXmlStreamReader &reader) {
        const QStringView name = reader.name();
        if (name == QLatin1String("vpn-account"))
            data.vpnAccount = VpnAccount::fromXml(reader);
        else if (name == QLatin1String("vpn-resource"))
            data.vpnResources.append(VpnResource::fromXml(reader));
        else if (name == QLatin1String("vpn-disconnect"))
            data.vpnDisconnect = true;
        else if (name == QLatin1String("message"))
            data.message = Message::fromXml(reader);
        else if (name == QLatin1String("row"))
            data.rows.append(Row::fromXml(reader));
        else if (name == QLatin1String("term"))
            data.term = Term::fromXml(reader);
        else if (name == QLatin1String("payment-notification"))
            data.paymentNotification = PaymentNotification::fromXml(reader);
        else if (name == QLatin1String("admin"))
            data.admin = true;
        else if (name == QLatin1String("trial"))
            data.trial = true;
        else if (name == QLatin1String("stealth-ovpn"))
            data.stealthOpenVpn = true;
    });
    return status;
}
