#include "localtimereader.h"

#include <iterator>

namespace {

// The shape of a time; its digits stand where the zeros do.
constexpr char16_t TimeShape[] = u"0000-00-00 00:00:00";

bool hasTimeShape(QStringView text)
{
    if (text.size() != qsizetype(std::size(TimeShape)) - 1)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= u'0' && text[i] <= u'9';
        if (TimeShape[i] == u'0' ? !digit : text[i] != TimeShape[i])
            return false;
    }
    return true;
}

int number(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i)
        value = value * 10 + (text[i].unicode() - u'0');
    return value;
}

} // namespace

QDateTime LocalTimeReader::read(QStringView text)
{
    // QDateTime::fromString converts to and from local time once for every field it
    // reads. Mostly one conversion of the date and time gives the same value, but
    // not for a time local time shows twice (when the clocks go back): which of the
    // two the conversion takes depends on the conversions made before it. So a time
    // of a day whose UTC offset changes is left to QDateTime::fromString, as is
    // every text of another shape.
    if (hasTimeShape(text)) {
        const QDate date(number(text, 0, 4), number(text, 5, 2), number(text, 8, 2));
        const QTime time(number(text, 11, 2), number(text, 14, 2), number(text, 17, 2));
        if (date.isValid() && time.isValid() && isSteady(date)) {
            const QDateTime dateTime(date, time);
            if (dateTime.isValid())
                return dateTime;
        }
    }
    return QDateTime::fromString(text, u"yyyy-MM-dd HH:mm:ss");
}

bool LocalTimeReader::isSteady(QDate date)
{
    const auto known = steadyDays.constFind(date.toJulianDay());
    if (known != steadyDays.cend())
        return *known;
    // Every local time of the day lies within a day of its UTC start or end. The
    // offset is looked at every two hours from a day before to a day after: no zone
    // has ever changed its offset twice within three hours.
    constexpr qint64 Hour = 60 * 60;
    const qint64 start = QDateTime(date.addDays(-1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    const int offset = QDateTime::fromSecsSinceEpoch(start, Qt::LocalTime).offsetFromUtc();
    bool steady = true;
    for (qint64 secs = start + 2 * Hour; steady && secs <= start + 72 * Hour; secs += 2 * Hour)
        steady = QDateTime::fromSecsSinceEpoch(secs, Qt::LocalTime).offsetFromUtc() == offset;
    steadyDays.insert(date.toJulianDay(), steady);
    return steady;
}
