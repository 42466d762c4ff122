#pragma once

#include <QString>
#include <QXmlStreamReader>

#include <functional>

// The one way answers of the provider are read: walk the tokens up to the end
// element `endName` (or the end of the document) and hand every start element
// met on the way to `onStart`. Unknown elements are walked through, not skipped,
// so their children are seen as well.
class XmlAnswer
{
public:
    static void readUntilEnd(QXmlStreamReader &reader, const QString &endName,
                             const std::function<void(QXmlStreamReader &reader)> &onStart);

    // The attribute as a number, or the default when absent or not a number.
    static int intAttribute(const QXmlStreamReader &reader, const QString &name, int defaultValue);
    static qint64 int64Attribute(const QXmlStreamReader &reader, const QString &name, qint64 defaultValue);
    static bool hasAttribute(const QXmlStreamReader &reader, const QString &name);
    static QString attribute(const QXmlStreamReader &reader, const QString &name);
    // The number as QStringView::toDouble reads it.
    static double toDouble(QStringView text, bool *ok);

private:
    XmlAnswer() = delete;
};
