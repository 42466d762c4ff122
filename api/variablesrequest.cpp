#include "variablesrequest.h"

#include "xmlanswer.h"

#include <QXmlStreamWriter>

bool VariablesRequest::requiresLogin() const
{
    return false;
}

void VariablesRequest::writeBody(QXmlStreamWriter &writer) const
{
    writer.writeEmptyElement(QStringLiteral("variables"));
}

bool VariablesRequest::readBody(QXmlStreamReader &reader)
{
    XmlAnswer::readUntilEnd(reader, QStringLiteral("variables"),
                            [this](QXmlStreamReader &reader) { readVariablesChild(reader); });
    return true;
}

bool VariablesRequest::readVariablesChild(QXmlStreamReader &reader)
{
    const QStringView name = reader.name();
    if (name == QLatin1String("urls")) {
        urlsRead = true;
        XmlAnswer::readUntilEnd(reader, QStringLiteral("urls"), [this](QXmlStreamReader &reader) {
            if (reader.name() == QLatin1String("url")) {
                const QString key = XmlAnswer::attribute(reader, QStringLiteral("key"));
                links.insert(key, reader.readElementText());
            }
        });
    } else if (name == QLatin1String("strings")) {
        stringsRead = true;
        XmlAnswer::readUntilEnd(reader, QStringLiteral("strings"), [this](QXmlStreamReader &reader) {
            if (reader.name() != QLatin1String("string"))
                return;
            const QString key = XmlAnswer::attribute(reader, QStringLiteral("key"));
            if (key.isEmpty())
                return;
            QString language = QStringLiteral("en");
            if (XmlAnswer::hasAttribute(reader, QStringLiteral("lang")))
                language = XmlAnswer::attribute(reader, QStringLiteral("lang"));
            texts[language].insert(key, reader.readElementText());
        });
    } else if (name == QLatin1String("prefs")) {
        prefsRead = true;
        XmlAnswer::readUntilEnd(reader, QStringLiteral("prefs"), [this](QXmlStreamReader &reader) {
            const QStringView type = reader.name();
            const QString variable = XmlAnswer::attribute(reader, QStringLiteral("name"));
            if (type == QLatin1String("int")) {
                variables.insert(variable, reader.readElementText().toInt());
            } else if (type == QLatin1String("bool")) {
                const QString text = reader.readElementText();
                variables.insert(variable, text == QLatin1String("true") || text == QLatin1String("1")
                                               || text == QLatin1String("on"));
            } else if (type == QLatin1String("string")) {
                variables.insert(variable, reader.readElementText());
            }
        });
    } else {
        return false;
    }
    return true;
}

QHash<QString, QString> VariablesRequest::urls() const { return links; }
VariablesRequest::Strings VariablesRequest::strings() const { return texts; }
QHash<QString, QVariant> VariablesRequest::prefs() const { return variables; }
bool VariablesRequest::hasUrls() const { return urlsRead; }
bool VariablesRequest::hasStrings() const { return stringsRead; }
bool VariablesRequest::hasPrefs() const { return prefsRead; }
