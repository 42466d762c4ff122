#pragma once

#include "loginrequest.h"

// The start-up login that needs no account. Its answer says whether to ask the
// user for a login.
class AnonymousLoginRequest : public LoginRequest
{
    Q_OBJECT

public:
    bool readBody(QXmlStreamReader &reader) override;
    bool isLoginDialogRequested() const;

protected:
    QString bodyElement() const override;

private:
    bool loginDialogRequested = false;
};
