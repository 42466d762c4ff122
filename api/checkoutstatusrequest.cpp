#include "checkoutstatusrequest.h"

#include "xmlanswer.h"

#include <QXmlStreamWriter>

CheckoutStatusRequest::CheckoutStatusRequest(const QString &uid)
    : uid(uid)
{
}

bool CheckoutStatusRequest::requiresLogin() const
{
    return false;
}

void CheckoutStatusRequest::writeBody(QXmlStreamWriter &writer) const
{
    writer.writeStartElement(QStringLiteral("checkout-status"));
    if (!uid.isEmpty())
        writer.writeAttribute(QStringLiteral("uid"), uid);
    writer.writeEndElement();
}

bool CheckoutStatusRequest::readBody(QXmlStreamReader &reader)
{
    XmlAnswer::readUntilEnd(reader, QStringLiteral("checkout-status"), [this](QXmlStreamReader &reader) {
        const QStringView name = reader.name();
        if (name == QLatin1String("status")) {
            checkoutStatus = reader.readElementText();
        } else if (name == QLatin1String("username")) {
            credentials = true;
            newUsername = reader.readElementText();
        } else if (name == QLatin1String("password")) {
            credentials = true;
            newPassword = reader.readElementText();
        }
    });
    return true;
}

QString CheckoutStatusRequest::status() const { return checkoutStatus; }
bool CheckoutStatusRequest::hasCredentials() const { return credentials; }
QString CheckoutStatusRequest::username() const { return newUsername; }
QString CheckoutStatusRequest::password() const { return newPassword; }
