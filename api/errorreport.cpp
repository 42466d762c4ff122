#include "errorreport.h"

#include "xmltext.h"

#include <QXmlStreamWriter>

#include <utility>

class ErrorReportData : public QSharedData
{
public:
    bool null = true;
    qint64 serverId = 0;
    QString serverName;
    QString message;
    QList<ErrorReportItem> items;
};

ErrorReport::ErrorReport()
    : d(new ErrorReportData)
{
}

ErrorReport::ErrorReport(const ErrorReport &other) = default;
ErrorReport &ErrorReport::operator=(const ErrorReport &other) = default;
ErrorReport::~ErrorReport() = default;

bool ErrorReport::isNull() const { return d->null; }
qint64 ErrorReport::serverId() const { return d->serverId; }
QString ErrorReport::serverName() const { return d->serverName; }
QString ErrorReport::message() const { return d->message; }
QList<ErrorReportItem> ErrorReport::items() const { return d->items; }

void ErrorReport::setServerId(qint64 serverId)
{
    d->serverId = serverId;
    d->null = false;
}

void ErrorReport::setServerName(const QString &serverName)
{
    d->serverName = serverName;
    d->null = false;
}

void ErrorReport::setMessage(const QString &message)
{
    d->message = message;
    d->null = false;
}

void ErrorReport::setItems(const QList<ErrorReportItem> &items)
{
    d->items = items;
    d->null = false;
}

void ErrorReport::addItem(const ErrorReportItem &item)
{
    d->items.append(item);
    d->null = false;
}

void ErrorReport::write(QXmlStreamWriter &writer) const
{
    writer.writeStartElement(QStringLiteral("error-report"));
    writer.writeStartElement(QStringLiteral("server"));
    writer.writeAttribute(QStringLiteral("server-id"), QString::number(d->serverId));
    writer.writeEndElement();
    writer.writeStartElement(QStringLiteral("message"));
    writer.writeCDATA(XmlText::sanitized(d->message));
    writer.writeEndElement();
    if (!d->items.isEmpty()) {
        writer.writeStartElement(QStringLiteral("items"));
        for (const ErrorReportItem &item : std::as_const(d->items)) {
            if (item.isNull())
                continue;
            writer.writeStartElement(QStringLiteral("item"));
            writer.writeTextElement(QStringLiteral("name"), item.name());
            if (!item.data().isEmpty()) {
                writer.writeStartElement(QStringLiteral("data"));
                writer.writeAttribute(QStringLiteral("encoding"), item.encoding());
                if (item.encoding() == QLatin1String("base64"))
                    writer.writeCDATA(QString::fromLatin1(item.data().toBase64()));
                else if (item.encoding() == QLatin1String("ISO-8859-1"))
                    writer.writeCDATA(XmlText::sanitized(QString::fromLatin1(item.data())));
                else
                    writer.writeCDATA(XmlText::sanitized(QString::fromUtf8(item.data())));
                writer.writeEndElement();
            }
            writer.writeEndElement();
        }
        writer.writeEndElement();
    }
    writer.writeEndElement();
}
