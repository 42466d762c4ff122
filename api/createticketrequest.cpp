#include "createticketrequest.h"

#include "xmlanswer.h"
#include "xmltext.h"

#include <QXmlStreamWriter>

CreateTicketRequest::CreateTicketRequest(const QString &email, const QString &subject, const QString &message)
    : email(email)
    , subject(subject)
    , message(message)
{
}

void CreateTicketRequest::setLog(const QString &text) { log = text; }
void CreateTicketRequest::setSystemDetails(const QString &details) { systemDetails = details; }
QStringList CreateTicketRequest::errors() const { return errorList; }
QString CreateTicketRequest::success() const { return successText; }

void CreateTicketRequest::writeBody(QXmlStreamWriter &writer) const
{
    const auto cdata = [&writer](const QString &name, const QString &text) {
        if (text.isEmpty())
            return;
        writer.writeStartElement(name);
        writer.writeCDATA(XmlText::sanitized(text));
        writer.writeEndElement();
    };
    writer.writeStartElement(QStringLiteral("create-ticket"));
    if (!email.isEmpty())
        writer.writeTextElement(QStringLiteral("email"), email);
    if (!subject.isEmpty())
        writer.writeTextElement(QStringLiteral("subject"), XmlText::sanitized(subject));
    cdata(QStringLiteral("message"), message);
    cdata(QStringLiteral("log"), log);
    cdata(QStringLiteral("system-details"), systemDetails);
    writer.writeEndElement();
}

bool CreateTicketRequest::readBody(QXmlStreamReader &reader)
{
    XmlAnswer::readUntilEnd(reader, QStringLiteral("create-ticket"), [this](QXmlStreamReader &reader) {
        if (reader.name() == QLatin1String("error"))
            errorList.append(reader.readElementText());
        else if (reader.name() == QLatin1String("success"))
            successText = reader.readElementText();
    });
    return true;
}
