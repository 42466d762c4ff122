#include "envelope.h"

#include "request.h"

#include <QCryptographicHash>
#include <QXmlStreamWriter>

QByteArray Envelope::encode(const Request &request, qint64 id, const Header &header)
{
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("request"));
    writer.writeAttribute(QStringLiteral("id"), QString::number(id));

    writer.writeStartElement(QStringLiteral("header"));
    writer.writeAttribute(QStringLiteral("language"), header.language);
    if (!header.country.isEmpty())
        writer.writeAttribute(QStringLiteral("country"), header.country);
    writer.writeAttribute(QStringLiteral("utc-offset"), QString::number(header.utcOffsetMinutes));
    writer.writeAttribute(QStringLiteral("platform"), QStringLiteral("linux"));
    writer.writeAttribute(QStringLiteral("arch"), QStringLiteral("generic_64bit"));
    writer.writeAttribute(QStringLiteral("version"), header.version);
    writer.writeAttribute(QStringLiteral("dpr"), QString::number(header.devicePixelRatio, 'g', 6));
    if (header.debug)
        writer.writeEmptyElement(QStringLiteral("debug"));
    writer.writeTextElement(QStringLiteral("platform"), header.osName);
    writer.writeTextElement(QStringLiteral("cpu"), header.cpu);

    if (!header.storedCredentials.isNull() || request.requiresLogin()) {
        QString username = request.username();
        QString password = request.password();
        if (username.isEmpty()) {
            username = header.storedCredentials.username();
            password = header.storedCredentials.password();
        }
        writer.writeStartElement(QStringLiteral("login"));
        if (!username.isEmpty())
            writer.writeAttribute(QStringLiteral("username"), username);
        if (!password.isEmpty())
            writer.writeAttribute(QStringLiteral("password"), passwordDigest(password));
        writer.writeEndElement();
    }
    writer.writeEndElement();

    writer.writeStartElement(QStringLiteral("body"));
    request.writeBody(writer);
    writer.writeEndElement();
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

QString Envelope::passwordDigest(const QString &password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1).toHex());
}
