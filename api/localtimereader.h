#pragma once

#include <QDateTime>
#include <QHash>
#include <QStringView>

// Reads the provider's local times, written "yyyy-MM-dd HH:mm:ss", to the very values
// QDateTime::fromString gives with that format, for a fraction of its cost: a server
// list carries one time per server. One reader serves the times of one answer.
class LocalTimeReader
{
public:
    // Invalid when the text is no such time, as with QDateTime::fromString.
    QDateTime read(QStringView text);

private:
    // Whether the local UTC offset stays the same all around the day.
    bool isSteady(QDate date);

    // Julian day -> isSteady()
    QHash<qint64, bool> steadyDays;
};
