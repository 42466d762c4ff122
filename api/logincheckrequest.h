#pragma once

#include "request.h"

// Checks typed credentials without logging in: an authenticated answer proves them.
class LoginCheckRequest : public Request
{
    Q_OBJECT

public:
    void writeBody(QXmlStreamWriter &writer) const override;
    bool readBody(QXmlStreamReader &reader) override;
    QString errorMessage() const;

private:
    QString error;
};
