#pragma once

#include "errorreport.h"
#include "request.h"

// Uploads an error report; only success or failure comes back.
class ErrorReportRequest : public Request
{
    Q_OBJECT

public:
    void setReport(const ErrorReport &report);
    ErrorReport report() const;
    void writeBody(QXmlStreamWriter &writer) const override;
    bool readBody(QXmlStreamReader &reader) override;

private:
    ErrorReport errorReport;
};
