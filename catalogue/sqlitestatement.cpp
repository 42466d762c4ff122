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

void SqliteStatement::bind(int parameter, QStringView text)
{
    // UTF-8, as the file stores it: SQLite's own conversion from UTF-16 costs more than
    // Qt's. A null text is bound empty, as the Qt driver binds it, not as SQL NULL.
    texts.push_back(text.toUtf8());
    const QByteArray &utf8 = texts.back();
    sqlite3_bind_text(
        statement, parameter, utf8.isNull() ? "" : utf8.constData(), int(utf8.size()), SQLITE_STATIC);
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
    reset();
    return failure.isEmpty();
}

void SqliteStatement::reset()
{
    if (statement) {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
    texts.clear();
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
