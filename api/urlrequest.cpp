#include "urlrequest.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

UrlRequest::UrlRequest(const QString &key, const QHash<QString, QString> &params)
    : linkKey(key)
    , parameters(params)
{
}

QString UrlRequest::key() const { return linkKey; }
QHash<QString, QString> UrlRequest::params() const { return parameters; }
QUrl UrlRequest::url() const { return address; }

void UrlRequest::writeBody(QXmlStreamWriter &writer) const
{
    writer.writeStartElement(QStringLiteral("url"));
    writer.writeAttribute(QStringLiteral("key"), linkKey);
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        writer.writeStartElement(QStringLiteral("param"));
        writer.writeAttribute(QStringLiteral("name"), it.key());
        writer.writeCharacters(it.value());
        writer.writeEndElement();
    }
    writer.writeEndElement();
}

bool UrlRequest::readBody(QXmlStreamReader &reader)
{
    // The address is the text of the first "url" element, the root or below it.
    while (!reader.atEnd()) {
        if (reader.isStartElement() && reader.name() == QLatin1String("url")) {
            address = QUrl(reader.readElementText().trimmed());
            return true;
        }
        reader.readNext();
    }
    return false;
}
