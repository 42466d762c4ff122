#include "apitest.h"

#include "request.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

namespace ApiTest {

bool enterTemporaryHome(const QTemporaryDir &dir)
{
    if (!dir.isValid())
        return false;
    const QString root = dir.path();
    qputenv("HOME", QFile::encodeName(root));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/.qttest/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/.qttest/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root + QStringLiteral("/.qttest/cache")));
    QStandardPaths::setTestModeEnabled(true);
    return QDir().mkpath(root + QStringLiteral("/.qttest/config"))
        && QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).startsWith(root);
}

Envelope::Header header()
{
    Envelope::Header header;
    header.language = QStringLiteral("en");
    header.country = QStringLiteral("DE");
    header.utcOffsetMinutes = 60;
    header.version = QStringLiteral("2.3.1");
    header.osName = QStringLiteral("Debian GNU/Linux 12 (bookworm) x64");
    header.cpu = QStringLiteral("Test CPU @ 2.0GHz");
    return header;
}

QByteArray envelope(const Request &request, qint64 id, const Envelope::Header &header)
{
    return Envelope::encode(request, id, header);
}

bool isWellFormed(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

QString canonical(QXmlStreamReader &reader)
{
    QString text = reader.name().toString();
    QStringList attributes;
    const QXmlStreamAttributes readerAttributes = reader.attributes();
    for (const QXmlStreamAttribute &attribute : readerAttributes)
        attributes << attribute.name().toString() + QLatin1Char('=') + attribute.value().toString();
    attributes.sort();
    if (!attributes.isEmpty())
        text += QLatin1Char('[') + attributes.join(QLatin1Char(' ')) + QLatin1Char(']');

    QStringList children;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement())
            break;
        if (reader.isStartElement()) {
            children << canonical(reader);
        } else if (reader.isCDATA()) {
            // A "]]>" in the text arrives as two sections: keep them as one.
            if (!children.isEmpty() && children.last().startsWith(QLatin1Char('{')))
                children.last().insert(children.last().size() - 1, reader.text().toString());
            else
                children << QLatin1Char('{') + reader.text().toString() + QLatin1Char('}');
        } else if (reader.isCharacters() && !reader.isWhitespace()) {
            children << QLatin1Char('\'') + reader.text().toString() + QLatin1Char('\'');
        }
    }
    if (!children.isEmpty())
        text += QLatin1Char('(') + children.join(QLatin1Char(' ')) + QLatin1Char(')');
    return text;
}

QString body(const Request &request)
{
    const QByteArray xml = envelope(request);
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("body"))
            break;
    }
    if (reader.atEnd())
        return QStringLiteral("<no body>");
    QStringList children;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement())
            break;
        if (reader.isStartElement())
            children << canonical(reader);
    }
    if (reader.hasError())
        return QStringLiteral("<error: ") + reader.errorString() + QLatin1Char('>');
    return children.join(QLatin1Char(' '));
}

bool readAnswer(Request &request, const QString &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd() && !reader.isStartElement())
        reader.readNext();
    request.readBody(reader);
    return !reader.hasError();
}

} // namespace ApiTest
