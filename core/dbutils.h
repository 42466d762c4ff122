#pragma once

#include "core_global.h"

#include <QDateTime>
#include <QStringList>
#include <QVariant>

class QSqlDatabase;
class QSqlQuery;

class CORE_EXPORT DBUtils
{
public:
    static QStringList databaseTables(QSqlDatabase &db);
    static QStringList databaseTableFields(QSqlDatabase &db, const QString &table);
    // Seconds since 1970 UTC; 0 for a null date-time.
    static int fromDateTime(const QDateTime &dateTime);
    // Null unless the value is a positive number of seconds.
    static QDateTime toDateTime(const QVariant &value);
    // True when the statement succeeded; a failure is written to standard error.
    static bool checkForErrors(QSqlQuery &query);

private:
    DBUtils() = delete;
};
