#include "anonymousloginrequest.h"

#include "xmlanswer.h"

QString AnonymousLoginRequest::bodyElement() const
{
    return QStringLiteral("anonymous");
}

bool AnonymousLoginRequest::readBody(QXmlStreamReader &reader)
{
    XmlAnswer::readUntilEnd(reader, QStringLiteral("login"), [this](QXmlStreamReader &reader) {
        if (reader.name() == QLatin1String("login-dialog"))
            loginDialogRequested = true;
        else
            readCommonChild(reader);
    });
    return true;
}

bool AnonymousLoginRequest::isLoginDialogRequested() const
{
    return loginDialogRequested;
}
