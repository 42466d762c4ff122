#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// A prepared statement on a plain SQLite connection. The server list is written
// through these: for ten thousand rows the Qt driver's QVariant for every value costs
// several times what SQLite itself does.
class SqliteStatement
{
public:
    // A statement that cannot be prepared fails its first step; error() says why.
    SqliteStatement(sqlite3 *db, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Parameters count from 1.
    void bind(int parameter, QStringView text);
    void bind(int parameter, double value);
    void bind(int parameter, qint64 value);
    // Steps to the next row; false at the end and on a failure (error() is then set).
    bool next();
    // Runs the statement once and makes it ready for the next values.
    bool exec();
    // Makes the statement ready to run again, with no values bound.
    void reset();

    // Columns count from 0. A text stays valid until the next step.
    QStringView text(int column) const;
    double real(int column) const;
    qint64 integer(int column) const;

    // Empty while nothing failed.
    QString error() const;

private:
    sqlite3 *db;
    sqlite3_stmt *statement = nullptr;
    QString failure;
    // The bound texts, in the database's own encoding, kept until the statement is reset.
    std::vector<QByteArray> texts;
};
