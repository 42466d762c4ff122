#include "logincheckrequest.h"

#include "xmlanswer.h"

#include <QXmlStreamWriter>

void LoginCheckRequest::writeBody(QXmlStreamWriter &writer) const
{
    writer.writeEmptyElement(QStringLiteral("login-check"));
}

bool LoginCheckRequest::readBody(QXmlStreamReader &reader)
{
    XmlAnswer::readUntilEnd(reader, QStringLiteral("login-check"), [this](QXmlStreamReader &reader) {
        if (reader.name() == QLatin1String("error-message"))
            error = reader.readElementText();
    });
    return true;
}

QString LoginCheckRequest::errorMessage() const
{
    return error;
}
