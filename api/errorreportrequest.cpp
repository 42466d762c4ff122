#include "errorreportrequest.h"

#include <QXmlStreamWriter>

void ErrorReportRequest::setReport(const ErrorReport &report) { errorReport = report; }
ErrorReport ErrorReportRequest::report() const { return errorReport; }

void ErrorReportRequest::writeBody(QXmlStreamWriter &writer) const
{
    if (errorReport.isNull())
        writer.writeEmptyElement(QStringLiteral("error-report"));
    else
        errorReport.write(writer);
}

bool ErrorReportRequest::readBody(QXmlStreamReader &)
{
    return true;
}
