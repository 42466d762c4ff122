#include "sqlitestatement.h"

#include <sqlite3.h>

SqliteStatement::SqliteStatement(sqlite3 *db, const char *sql)
    : db(db)
{
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        failure = QString::fromUtf8(sqlite3_errmsg(db));
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(statement);
}

bool SqliteStatement::isValid() const
{
    return statement != nullptr;
}

void SqliteStatement::bind(int parameter, QStringView text)
{
    // Static: the caller keeps the text alive until the statement has run, and exec()
    // clears the bindings before it can dangle. A null view would bind SQL NULL.
    sqlite3_bind_text16(
        statement, parameter, text.isNull() ? u"" : text.utf16(), int(text.size() * 2), SQLITE_STATIC);
}

void SqliteStatement::bind(int parameter, double value)
{
    sqlite3_bind_double(statement, parameter, value);
}

void SqliteStatement::bind(int parameter, qint64 value)
{
    sqlite3_bind_int64(statement, parameter, value);
}

bool SqliteStatement::next()
{
    if (!statement)
        return false;
    const int result = sqlite3_step(statement);
    if (result == SQLITE_ROW)
        return true;
    if (result != SQLITE_DONE)
        failure = QString::fromUtf8(sqlite3_errmsg(db));
    return false;
}

bool SqliteStatement::exec()
{
    if (!statement)
        return false;
    const int result = sqlite3_step(statement);
    if (result != SQLITE_DONE && result != SQLITE_ROW)
        failure = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return failure.isEmpty();
}

QStringView SqliteStatement::text(int column) const
{
    const auto *data = static_cast<const char16_t *>(sqlite3_column_text16(statement, column));
    // The size is asked after the text: asking first could convert the text twice.
    return data ? QStringView(data, sqlite3_column_bytes16(statement, column) / 2) : QStringView();
}

double SqliteStatement::real(int column) const
{
    return sqlite3_column_double(statement, column);
}

qint64 SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(statement, column);
}

QString SqliteStatement::error() const
{
    return failure;
}
