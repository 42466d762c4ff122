#include "stringutils.h"

#include <QRegularExpression>

#include <algorithm>

namespace StringUtils {

bool isBlank(const QString &s)
{
    static const QRegularExpression whitespace(QStringLiteral("\\s"));
    return QString(s).remove(whitespace).isEmpty();
}

QString commonPrefix(const QStringList &list)
{
    if (list.isEmpty())
        return QString();
    if (list.size() == 1)
        return list.first();
    qsizetype shortest = list.first().size();
    for (qsizetype i = 1; i < list.size(); ++i) {
        const QString &a = list.at(i - 1);
        const QString &b = list.at(i);
        const qsizetype limit = std::min(a.size(), b.size());
        qsizetype equal = 0;
        while (equal < limit && a.at(equal) == b.at(equal))
            ++equal;
        shortest = std::min(shortest, equal);
    }
    return list.first().left(shortest);
}

QString replaceHtmlEntities(const QString &s)
{
    return QString(s)
        .replace(QLatin1String("&euro;"), QString(QChar(0x20AC)))
        .replace(QLatin1String("&#36;"), QLatin1String("$"));
}

} // namespace StringUtils
