#include "xmlanswer.h"

#include <charconv>

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The longest plain decimal: "-", 15 digits, "." and 17 digits, far from the limits
// of a double, so that reading it can neither overflow nor underflow.
constexpr qsizetype MaximumIntegerDigits = 15;
constexpr qsizetype MaximumFractionDigits = 17;
constexpr qsizetype MaximumDecimalSize = MaximumIntegerDigits + MaximumFractionDigits + 2;

// "-" or nothing, digits, then "." and digits or nothing.
bool isPlainDecimal(QStringView text)
{
    qsizetype i = text.startsWith(u'-') ? 1 : 0;
    const auto digits = [&text, &i](qsizetype maximum) {
        const qsizetype start = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        return i > start && i - start <= maximum;
    };
    if (!digits(MaximumIntegerDigits))
        return false;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        if (!digits(MaximumFractionDigits))
            return false;
    }
    return i == text.size();
}

} // namespace

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

double XmlAnswer::toDouble(QStringView text, bool *ok)
{
    // Coordinates come three to a server, and QStringView::toDouble goes through the
    // C locale's number parser for each. A plain decimal needs only the conversion
    // proper, which rounds to the nearest double as that parser does.
    if (isPlainDecimal(text)) {
        char latin1[MaximumDecimalSize];
        for (qsizetype i = 0; i < text.size(); ++i)
            latin1[i] = char(text[i].unicode());
        double value = 0;
        if (std::from_chars(latin1, latin1 + text.size(), value).ec == std::errc()) {
            *ok = true;
            return value;
        }
    }
    return text.toDouble(ok);
}
