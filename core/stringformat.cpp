#include "stringformat.h"

#include <QDateTime>
#include <QLocale>

QString StringFormat::byteCount(qint64 value, bool bits)
{
    // Single precision, as the figures shown have two decimals at most.
    float number = float(value);
    QString unit;
    if (bits) {
        number *= 8;
        if (number > 1e9f) {
            number /= 1e9f;
            unit = QStringLiteral("Gbit");
        } else if (number > 1e6f) {
            number /= 1e6f;
            unit = QStringLiteral("Mbit");
        } else if (number > 1e3f) {
            number /= 1e3f;
            unit = QStringLiteral("Kbit");
        } else {
            unit = QStringLiteral("bit");
        }
        return QStringLiteral("%L1 %2").arg(double(number), 0, 'f', 1).arg(unit);
    }
    constexpr float kb = 1024.0f;
    constexpr float mb = kb * 1024.0f;
    constexpr float gb = mb * 1024.0f;
    if (number > gb) {
        number /= gb;
        unit = QStringLiteral("GB");
    } else if (number > mb) {
        number /= mb;
        unit = QStringLiteral("MB");
    } else if (number > kb) {
        number /= kb;
        unit = QStringLiteral("KB");
    } else {
        unit = QStringLiteral("B");
    }
    return QStringLiteral("%L1 %2").arg(double(number), 0, 'f', 2).arg(unit);
}

QString StringFormat::dateTime(const QDateTime &dateTime)
{
    return QLocale::system().toString(dateTime, QLocale::ShortFormat);
}
