#pragma once

#include "userstatus.h"
#include "variablesrequest.h"

// The periodic account status, with the provider's variables when asked for.
class StatusRequest : public VariablesRequest
{
    Q_OBJECT

public:
    void setIncludeVariables(bool include);
    bool includeVariables() const;

    bool requiresLogin() const override;
    void writeBody(QXmlStreamWriter &writer) const override;
    bool readBody(QXmlStreamReader &reader) override;

    UserStatus userStatus() const;

private:
    bool withVariables = false;
    UserStatus status;
};
