#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class ErrorReportItemData;

// One named attachment of an error report, with the encoding of its bytes.
class ErrorReportItem
{
public:
    ErrorReportItem();
    ErrorReportItem(const ErrorReportItem &other);
    ErrorReportItem &operator=(const ErrorReportItem &other);
    ~ErrorReportItem();

    bool isNull() const;
    QString name() const;
    QString encoding() const;
    QByteArray data() const;

    void setName(const QString &name);
    void setEncoding(const QString &encoding);
    void setData(const QByteArray &data);

    ErrorReportItem(const QString &name, const QString &encoding, const QByteArray &data);

private:
    QSharedDataPointer<ErrorReportItemData> d;
};

Q_DECLARE_METATYPE(ErrorReportItem)
