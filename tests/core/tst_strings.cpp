#include "stringformat.h"
#include "stringutils.h"

#include <QLocale>
#include <QTest>

class TestStrings : public QObject
{
    Q_OBJECT

private slots:
    void isBlank_data();
    void isBlank();
    void commonPrefix_data();
    void commonPrefix();
    void replaceHtmlEntities_data();
    void replaceHtmlEntities();
    void byteCount_data();
    void byteCount();
    void cleanup();
};

void TestStrings::isBlank_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("blank");
    QTest::newRow("null") << QString() << true;
    QTest::newRow("empty") << QStringLiteral("") << true;
    QTest::newRow("whitespace") << QStringLiteral(" \t\n") << true;
    QTest::newRow("carriage return") << QStringLiteral("\r\n ") << true;
    QTest::newRow("letter") << QStringLiteral("a") << false;
    QTest::newRow("padded letter") << QStringLiteral("  a\t") << false;
}

void TestStrings::isBlank()
{
    QFETCH(QString, text);
    QFETCH(bool, blank);
    QCOMPARE(StringUtils::isBlank(text), blank);
}

void TestStrings::commonPrefix_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("three") << QStringList { QStringLiteral("abc"), QStringLiteral("abd"),
        QStringLiteral("ab") }
                           << QStringLiteral("ab");
    QTest::newRow("none") << QStringList { QStringLiteral("x"), QStringLiteral("y") } << QString();
    QTest::newRow("empty list") << QStringList() << QString();
    QTest::newRow("one") << QStringList { QStringLiteral("only") } << QStringLiteral("only");
    QTest::newRow("identical") << QStringList { QStringLiteral("de-fra"), QStringLiteral("de-fra") }
                               << QStringLiteral("de-fra");
    QTest::newRow("shortest first") << QStringList { QStringLiteral("de"), QStringLiteral("de-fra"),
        QStringLiteral("de-ber") } << QStringLiteral("de");
    QTest::newRow("differs late") << QStringList { QStringLiteral("us-nyc-1"), QStringLiteral("us-nyc-2"),
        QStringLiteral("us-lax-1") }
                                  << QStringLiteral("us-");
    QTest::newRow("empty member") << QStringList { QStringLiteral("abc"), QString(), QStringLiteral("abc") }
                                  << QString();
}

void TestStrings::commonPrefix()
{
    QFETCH(QStringList, list);
    QFETCH(QString, prefix);
    QCOMPARE(StringUtils::commonPrefix(list), prefix);
}

void TestStrings::replaceHtmlEntities_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("both") << QStringLiteral("&euro;5 &#36;3") << QStringLiteral("\u20AC5 $3");
    QTest::newRow("repeated") << QStringLiteral("&euro;&euro;") << QStringLiteral("\u20AC\u20AC");
    QTest::newRow("others untouched")
        << QStringLiteral("&amp; &lt;b&gt; &#37; &EURO;") << QStringLiteral("&amp; &lt;b&gt; &#37; &EURO;");
    QTest::newRow("plain") << QStringLiteral("9.99 per month") << QStringLiteral("9.99 per month");
}

void TestStrings::replaceHtmlEntities()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(StringUtils::replaceHtmlEntities(text), expected);
}

void TestStrings::byteCount_data()
{
    QTest::addColumn<QString>("localeName");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("bits");
    QTest::addColumn<double>("number");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("unit");

    // Bytes use binary steps and two decimals, rates decimal steps and one decimal;
    // a value exactly at a step stays in the smaller unit.
    const QStringList locales { QStringLiteral("C"), QStringLiteral("en_US"), QStringLiteral("de_DE") };
    for (const QString &locale : locales) {
        const auto row = [&locale](const char *name) {
            return &QTest::newRow(qPrintable(locale + QLatin1Char(' ') + QLatin1String(name)));
        };
        *row("1536 B") << locale << qint64(1536) << false << 1.5 << 2 << QStringLiteral("KB");
        *row("1024 B") << locale << qint64(1024) << false << 1024.0 << 2 << QStringLiteral("B");
        *row("0 B") << locale << qint64(0) << false << 0.0 << 2 << QStringLiteral("B");
        *row("1 MiB") << locale << qint64(1024 * 1024) << false << 1024.0 << 2 << QStringLiteral("KB");
        *row("5 MiB") << locale << qint64(5 * 1024 * 1024 + 512 * 1024) << false << 5.5 << 2
                      << QStringLiteral("MB");
        *row("6 GiB") << locale << qint64(6) * 1024 * 1024 * 1024 + 256 * 1024 * 1024 << false << 6.25 << 2
                      << QStringLiteral("GB");
        *row("negative B") << locale << qint64(-5000) << false << -5000.0 << 2 << QStringLiteral("B");
        *row("200000 B/s") << locale << qint64(200000) << true << 1.6 << 1 << QStringLiteral("Mbit");
        *row("100 B/s") << locale << qint64(100) << true << 800.0 << 1 << QStringLiteral("bit");
        *row("250 B/s") << locale << qint64(250) << true << 2.0 << 1 << QStringLiteral("Kbit");
        *row("250 MB/s") << locale << qint64(250000000) << true << 2.0 << 1 << QStringLiteral("Gbit");
        *row("negative B/s") << locale << qint64(-300000) << true << -2400000.0 << 1 << QStringLiteral("bit");
    }
}

void TestStrings::byteCount()
{
    QFETCH(QString, localeName);
    QFETCH(qint64, value);
    QFETCH(bool, bits);
    QFETCH(double, number);
    QFETCH(int, decimals);
    QFETCH(QString, unit);

    QLocale::setDefault(QLocale(localeName));
    QCOMPARE(StringFormat::byteCount(value, bits),
        QLocale().toString(number, 'f', decimals) + QLatin1Char(' ') + unit);
}

void TestStrings::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

QTEST_APPLESS_MAIN(TestStrings)
#include "tst_strings.moc"
