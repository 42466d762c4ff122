#include "errorreportitem.h"

class ErrorReportItemData : public QSharedData
{
public:
    bool null = true;
    QString name;
    QString encoding;
    QByteArray data;
};

ErrorReportItem::ErrorReportItem()
    : d(new ErrorReportItemData)
{
}

ErrorReportItem::ErrorReportItem(const ErrorReportItem &other) = default;
ErrorReportItem &ErrorReportItem::operator=(const ErrorReportItem &other) = default;
ErrorReportItem::~ErrorReportItem() = default;

bool ErrorReportItem::isNull() const { return d->null; }
QString ErrorReportItem::name() const { return d->name; }
QString ErrorReportItem::encoding() const { return d->encoding; }
QByteArray ErrorReportItem::data() const { return d->data; }

void ErrorReportItem::setName(const QString &name)
{
    d->name = name;
    d->null = false;
}

void ErrorReportItem::setEncoding(const QString &encoding)
{
    d->encoding = encoding;
    d->null = false;
}

void ErrorReportItem::setData(const QByteArray &data)
{
    d->data = data;
    d->null = false;
}

ErrorReportItem::ErrorReportItem(const QString &name, const QString &encoding, const QByteArray &data)
    : d(new ErrorReportItemData)
{
    d->name = name;
    d->encoding = encoding;
    d->data = data;
    d->null = false;
}
