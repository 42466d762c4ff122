#include "xmlanswer.h"

void XmlAnswer::readUntilEnd(QXmlStreamReader &reader, const QString &endName,
                             const std::function<void(QXmlStreamReader &reader)> &onStart)
{
    for (;;) {
        if (reader.atEnd())
            return;
        if (reader.isEndElement() && reader.name() == endName)
            return;
        reader.readNext();
        if (reader.isStartElement())
            onStart(reader);
    }
}

int XmlAnswer::intAttribute(const QXmlStreamReader &reader, const QString &name, int defaultValue)
{
    bool ok = false;
    const int value = reader.attributes().value(name).toInt(&ok, 10);
    return ok ? value : defaultValue;
}

qint64 XmlAnswer::int64Attribute(const QXmlStreamReader &reader, const QString &name, qint64 defaultValue)
{
    bool ok = false;
    const qint64 value = reader.attributes().value(name).toLongLong(&ok, 10);
    return ok ? value : defaultValue;
}

bool XmlAnswer::hasAttribute(const QXmlStreamReader &reader, const QString &name)
{
    return reader.attributes().hasAttribute(name);
}

QString XmlAnswer::attribute(const QXmlStreamReader &reader, const QString &name)
{
    return reader.attributes().value(name).toString();
}
