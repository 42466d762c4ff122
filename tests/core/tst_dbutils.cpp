#include "dbutils.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class TestDBUtils : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void tables();
    void tableFields_data();
    void tableFields();
    void checkForErrors();
    void fromDateTime_data();
    void fromDateTime();
    void toDateTime_data();
    void toDateTime();

private:
    QTemporaryDir m_dir;
    const QString m_connection = QStringLiteral("tst_dbutils");
};

void TestDBUtils::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_dir.filePath(QStringLiteral("main.sqlite")));
    QVERIFY(db.open());
    QSqlQuery query(db);
    QVERIFY(query.exec(QStringLiteral("CREATE TABLE servers (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                      "name TEXT, ping INTEGER)")));
    QVERIFY(query.exec(QStringLiteral("CREATE TABLE \"it's\" (day INTEGER, bytes INTEGER)")));
    QVERIFY(query.exec(QStringLiteral("CREATE INDEX servers_name ON servers (name)")));
    QVERIFY(query.exec(QStringLiteral("CREATE VIEW fast AS SELECT name FROM servers WHERE ping < 50")));
}

void TestDBUtils::cleanupTestCase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

void TestDBUtils::tables()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QStringList tables = DBUtils::databaseTables(db);
    tables.sort();
    // AUTOINCREMENT makes SQLite keep its own sqlite_sequence table; indexes and views are no tables.
    QCOMPARE(tables,
        (QStringList {
            QStringLiteral("it's"), QStringLiteral("servers"), QStringLiteral("sqlite_sequence") }));
}

void TestDBUtils::tableFields_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("servers") << QStringLiteral(
        "servers") << QStringList { QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("ping") };
    QTest::newRow("quote in name") << QStringLiteral("it's")
                                   << QStringList { QStringLiteral("day"), QStringLiteral("bytes") };
    QTest::newRow("missing") << QStringLiteral("statistics") << QStringList();
}

void TestDBUtils::tableFields()
{
    QFETCH(QString, table);
    QFETCH(QStringList, fields);
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QCOMPARE(DBUtils::databaseTableFields(db, table), fields);
}

void TestDBUtils::checkForErrors()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery good(db);
    QVERIFY(good.exec(QStringLiteral("SELECT COUNT(*) FROM servers")));
    QVERIFY(DBUtils::checkForErrors(good));
    QSqlQuery bad(db);
    QVERIFY(!bad.exec(QStringLiteral("SELECT * FROM no_such_table")));
    QVERIFY(!DBUtils::checkForErrors(bad));
}

void TestDBUtils::fromDateTime_data()
{
    QTest::addColumn<QDateTime>("dateTime");
    QTest::addColumn<int>("seconds");
    QTest::newRow("null") << QDateTime() << 0;
    QTest::newRow("epoch") << QDateTime::fromSecsSinceEpoch(0, Qt::UTC) << 0;
    QTest::newRow("utc") << QDateTime(QDate(2023, 11, 14), QTime(22, 13, 20), Qt::UTC) << 1700000000;
    QTest::newRow("offset") << QDateTime(QDate(2023, 11, 15), QTime(0, 13, 20), Qt::OffsetFromUTC, 7200)
                            << 1700000000;
}

void TestDBUtils::fromDateTime()
{
    QFETCH(QDateTime, dateTime);
    QFETCH(int, seconds);
    QCOMPARE(DBUtils::fromDateTime(dateTime), seconds);
}

void TestDBUtils::toDateTime_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("valid");
    QTest::newRow("zero") << QVariant(0) << false;
    QTest::newRow("negative") << QVariant(-5) << false;
    QTest::newRow("letters") << QVariant(QStringLiteral("abc")) << false;
    QTest::newRow("null") << QVariant() << false;
    QTest::newRow("number") << QVariant(1700000000) << true;
    QTest::newRow("text number") << QVariant(QStringLiteral("1700000000")) << true;
    QTest::newRow("64-bit") << QVariant(qint64(1700000000)) << true;
}

void TestDBUtils::toDateTime()
{
    QFETCH(QVariant, value);
    QFETCH(bool, valid);
    const QDateTime dateTime = DBUtils::toDateTime(value);
    QCOMPARE(dateTime.isValid(), valid);
    if (valid) {
        QCOMPARE(dateTime.toSecsSinceEpoch(), qint64(1700000000));
        QCOMPARE(DBUtils::fromDateTime(dateTime), 1700000000);
    } else {
        QVERIFY(dateTime.isNull());
    }
}

QTEST_GUILESS_MAIN(TestDBUtils)
#include "tst_dbutils.moc"
