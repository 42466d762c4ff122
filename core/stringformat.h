#pragma once

#include "core_global.h"

#include <QString>

class QDateTime;

class CORE_EXPORT StringFormat
{
public:
    // A byte count in binary units (KB = 1024), or with bits set, a rate in decimal bit units.
    static QString byteCount(qint64 value, bool bits);
    static QString dateTime(const QDateTime &dateTime);

private:
    StringFormat() = delete;
};
