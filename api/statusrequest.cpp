#include "statusrequest.h"

#include "xmlanswer.h"

#include <QXmlStreamWriter>

void StatusRequest::setIncludeVariables(bool include)
{
    withVariables = include;
}

bool StatusRequest::includeVariables() const
{
    return withVariables;
}

bool StatusRequest::requiresLogin() const
{
    return true;
}

void StatusRequest::writeBody(QXmlStreamWriter &writer) const
{
    writer.writeStartElement(QStringLiteral("status"));
    if (withVariables)
        writer.writeAttribute(QStringLiteral("variables"), QStringLiteral("true"));
    writeStats(writer);
    writer.writeEndElement();
}

bool StatusRequest::readBody(QXmlStreamReader &reader)
{
    // Without variables the answer may be a bare "user-status": look at the root itself.
    const QString end = withVariables ? QStringLiteral("status") : QStringLiteral("user-status");
    const auto handle = [this](QXmlStreamReader &reader) {
        if (reader.name() == QLatin1String("user-status"))
            status = UserStatus::fromXml(reader);
        else if (withVariables)
            readVariablesChild(reader);
    };
    if (reader.isStartElement())
        handle(reader);
    XmlAnswer::readUntilEnd(reader, end, handle);
    return true;
}

UserStatus StatusRequest::userStatus() const
{
    return status;
}
