#pragma once

#include "request.h"

#include <QStringList>

// Files a support ticket.
class CreateTicketRequest : public Request
{
    Q_OBJECT

public:
    CreateTicketRequest(const QString &email, const QString &subject, const QString &message);

    void setLog(const QString &log);
    void setSystemDetails(const QString &details);
    void writeBody(QXmlStreamWriter &writer) const override;
    bool readBody(QXmlStreamReader &reader) override;

    // The provider's reasons for refusing the ticket; empty when it was taken.
    QStringList errors() const;
    QString success() const;

private:
    QString email;
    QString subject;
    QString message;
    QString log;
    QString systemDetails;
    QStringList errorList;
    QString successText;
};
