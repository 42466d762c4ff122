#include "trialrequest.h"

#include "winutils.h"
#include "xmlanswer.h"

#include <QXmlStreamWriter>

TrialRequest::TrialRequest(const QString &uuid)
    : uuid(uuid)
{
}

void TrialRequest::setEmail(const QString &address)
{
    email = address;
}

void TrialRequest::writeBody(QXmlStreamWriter &writer) const
{
    writer.writeStartElement(QStringLiteral("trial"));
    if (!email.isEmpty())
        writer.writeTextElement(QStringLiteral("email"), email);
    writer.writeStartElement(QStringLiteral("identifiers"));
    const QStringList addresses = WinUtils::hardwareAddresses();
    for (const QString &address : addresses) {
        writer.writeStartElement(QStringLiteral("identifier"));
        writer.writeAttribute(QStringLiteral("type"), QStringLiteral("eth-mac"));
        writer.writeCharacters(address);
        writer.writeEndElement();
    }
    writer.writeStartElement(QStringLiteral("identifier"));
    writer.writeAttribute(QStringLiteral("type"), QStringLiteral("uuid"));
    writer.writeCharacters(uuid);
    writer.writeEndElement();
    writer.writeEndElement();
    writer.writeEndElement();
}

bool TrialRequest::readBody(QXmlStreamReader &reader)
{
    XmlAnswer::readUntilEnd(reader, QStringLiteral("trial"), [this](QXmlStreamReader &reader) {
        const QStringView name = reader.name();
        if (name == QLatin1String("checkout")) {
            checkout = true;
            checkoutId = XmlAnswer::attribute(reader, QStringLiteral("uid"));
        } else if (name == QLatin1String("username")) {
            credentials = true;
            newUsername = reader.readElementText();
        } else if (name == QLatin1String("password")) {
            credentials = true;
            newPassword = reader.readElementText();
        } else if (name == QLatin1String("error-message")) {
            error = reader.readElementText();
        }
    });
    return true;
}

bool TrialRequest::isCheckout() const { return checkout; }
QString TrialRequest::checkoutUid() const { return checkoutId; }
bool TrialRequest::hasCredentials() const { return credentials; }
QString TrialRequest::username() const { return newUsername; }
QString TrialRequest::password() const { return newPassword; }
QString TrialRequest::errorMessage() const { return error; }
