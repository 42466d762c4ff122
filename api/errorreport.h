#pragma once

#include "errorreportitem.h"

#include <QList>
#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class QXmlStreamWriter;
class ErrorReportData;

// A connection failure reported to the provider, with log excerpts.
class ErrorReport
{
public:
    ErrorReport();
    ErrorReport(const ErrorReport &other);
    ErrorReport &operator=(const ErrorReport &other);
    ~ErrorReport();

    bool isNull() const;
    qint64 serverId() const;
    QString serverName() const;
    QString message() const;
    QList<ErrorReportItem> items() const;

    void setServerId(qint64 serverId);
    void setServerName(const QString &serverName);
    void setMessage(const QString &message);
    void setItems(const QList<ErrorReportItem> &items);

    void addItem(const ErrorReportItem &item);
    void write(QXmlStreamWriter &writer) const;

private:
    QSharedDataPointer<ErrorReportData> d;
};

Q_DECLARE_METATYPE(ErrorReport)
