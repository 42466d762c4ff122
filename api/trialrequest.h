#pragma once

#include "request.h"

// Asks the provider for a trial account for this installation. The answer brings
// the new account, or a checkout to complete first.
class TrialRequest : public Request
{
    Q_OBJECT

public:
    explicit TrialRequest(const QString &uuid);

    void setEmail(const QString &email);
    void writeBody(QXmlStreamWriter &writer) const override;
    bool readBody(QXmlStreamReader &reader) override;

    bool isCheckout() const;
    QString checkoutUid() const;
    bool hasCredentials() const;
    QString username() const;
    QString password() const;
    QString errorMessage() const;

private:
    QString uuid;
    QString email;
    bool checkout = false;
    QString checkoutId;
    bool credentials = false;
    QString newUsername;
    QString newPassword;
    QString error;
};
