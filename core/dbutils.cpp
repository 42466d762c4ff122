#include "dbutils.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

QStringList DBUtils::databaseTables(QSqlDatabase &db)
{
    QStringList tables;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"))) {
        while (query.next())
            tables << query.value(0).toString();
    }
    return tables;
}

QStringList DBUtils::databaseTableFields(QSqlDatabase &db, const QString &table)
{
    QStringList fields;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    QString quoted = table;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    if (query.exec(QStringLiteral("PRAGMA table_info ('") + quoted + QStringLiteral("')"))) {
        while (query.next())
            fields << query.value(1).toString();
    }
    return fields;
}

int DBUtils::fromDateTime(const QDateTime &dateTime)
{
    return dateTime.isNull() ? 0 : int(dateTime.toSecsSinceEpoch());
}

QDateTime DBUtils::toDateTime(const QVariant &value)
{
    bool ok = false;
    const int seconds = value.toInt(&ok);
    if (!ok || seconds <= 0)
        return QDateTime();
    return QDateTime::fromSecsSinceEpoch(seconds);
}

bool DBUtils::checkForErrors(QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    if (error.type() == QSqlError::NoError)
        return true;
    std::fprintf(stderr, "SQL error: %s\n", qPrintable(error.text()));
    return false;
}
