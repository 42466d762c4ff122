#pragma once

#include "request.h"

// Polls a checkout begun by a trial answer until its account exists.
class CheckoutStatusRequest : public Request
{
    Q_OBJECT

public:
    explicit CheckoutStatusRequest(const QString &uid);

    bool requiresLogin() const override;
    void writeBody(QXmlStreamWriter &writer) const override;
    bool readBody(QXmlStreamReader &reader) override;

    QString status() const;
    bool hasCredentials() const;
    QString username() const;
    QString password() const;

private:
    QString uid;
    QString checkoutStatus;
    bool credentials = false;
    QString newUsername;
    QString newPassword;
};
