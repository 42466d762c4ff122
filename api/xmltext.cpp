#include "xmltext.h"

namespace {

bool isAllowed(char16_t u)
{
    return (u >= 0x20 && u < 0xD800) || u == 0x9 || u == 0xA || u == 0xD || (u >= 0xE000 && u < 0xFFFE);
}

// No character to drop: no control character and no surrogate at all (a pair is
// kept, but then the slow way sorts it out).
bool isClean(const QString &text)
{
    for (const QChar c : text) {
        if (!isAllowed(c.unicode()))
            return false;
    }
    return true;
}

} // namespace

QString XmlText::sanitized(const QString &text)
{
    // Most texts are clean: they are handed on as they are, without a copy.
    if (isClean(text))
        return text;
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result += c;
            result += text.at(++i);
            continue;
        }
        if (isAllowed(c.unicode()))
            result += c;
    }
    return result;
}
