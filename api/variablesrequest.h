#pragma once

#include "request.h"

#include <QHash>
#include <QVariant>

// Fetches the provider's variables (typed preferences), texts per language and links.
class VariablesRequest : public Request
{
    Q_OBJECT

public:
    using Strings = QHash<QString, QHash<QString, QString>>;

    bool requiresLogin() const override;
    void writeBody(QXmlStreamWriter &writer) const override;
    bool readBody(QXmlStreamReader &reader) override;

    QHash<QString, QString> urls() const;
    Strings strings() const;
    QHash<QString, QVariant> prefs() const;
    // Which of the three the answer held: an answer may leave any of them out, and
    // what it leaves out is not thereby empty.
    bool hasUrls() const;
    bool hasStrings() const;
    bool hasPrefs() const;

protected:
    // Reads "urls", "strings" or "prefs"; false for any other element.
    bool readVariablesChild(QXmlStreamReader &reader);

private:
    QHash<QString, QString> links;
    Strings texts;
    QHash<QString, QVariant> variables;
    bool urlsRead = false;
    bool stringsRead = false;
    bool prefsRead = false;
};
