#include "context.h"
#include "testhome.h"

#include <QApplication>
#include <QAtomicInt>
#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

using ContextAction = std::function<void(Context &)>;
Q_DECLARE_METATYPE(ContextAction)

class TestContext : public QObject
{
    Q_OBJECT

public:
    explicit TestContext(const TestHome &) { }

private slots:
    void cleanup();

    void beforeAnyAnswer();
    void anySetterMakesValid_data();
    void anySetterMakesValid();
    void variables_data();
    void variables();
    void links();
    void textFollowsDefaultLocale_data();
    void textFollowsDefaultLocale();
    void readersWhileTablesChange();
};

void TestContext::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

void TestContext::beforeAnyAnswer()
{
    Context context;
    QVERIFY(!context.isValid());
    QCOMPARE(context.boolVariable(QStringLiteral("trial_enabled"), true), true);
    QCOMPARE(context.boolVariable(QStringLiteral("trial_enabled"), false), false);
    QCOMPARE(context.intVariable(QStringLiteral("min_ping"), 7), 7);
    QCOMPARE(context.stringVariable(QStringLiteral("default_protocol")), QString());
    QCOMPARE(context.link(QStringLiteral("account_home")), QString());
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    QCOMPARE(context.text(QStringLiteral("welcome")), QString());
}

void TestContext::anySetterMakesValid_data()
{
    QTest::addColumn<ContextAction>("set");
    QTest::newRow("links") << ContextAction([](Context &c) { c.setLinks({}); });
    QTest::newRow("texts") << ContextAction([](Context &c) { c.setTexts({}); });
    QTest::newRow("variables") << ContextAction([](Context &c) { c.setVariables({}); });
}

void TestContext::anySetterMakesValid()
{
    QFETCH(ContextAction, set);
    Context context;
    set(context);
    // Even an empty answer is an answer.
    QVERIFY(context.isValid());
}

void TestContext::variables_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("boolDefault");
    QTest::addColumn<bool>("expectedBool");
    QTest::addColumn<int>("intDefault");
    QTest::addColumn<int>("expectedInt");
    QTest::addColumn<QString>("expectedString");

    QTest::newRow("absent") << QVariant() << true << true << 7 << 7 << QString();
    QTest::newRow("int") << QVariant(42) << false << true << 7 << 42 << QStringLiteral("42");
    QTest::newRow("zero") << QVariant(0) << true << false << 7 << 0 << QStringLiteral("0");
    QTest::newRow("numeric text") << QVariant(QStringLiteral("120")) << false << true << 7 << 120
                                  << QStringLiteral("120");
    // A value that is no number keeps the caller's default, not 0.
    QTest::newRow("text") << QVariant(QStringLiteral("abc")) << false << true << 7 << 7
                          << QStringLiteral("abc");
    QTest::newRow("false text") << QVariant(QStringLiteral("false")) << true << false << -3 << -3
                                << QStringLiteral("false");
    QTest::newRow("bool") << QVariant(true) << false << true << 7 << 1 << QStringLiteral("true");
    QTest::newRow("empty text") << QVariant(QString()) << true << false << 7 << 7 << QString();
}

void TestContext::variables()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, boolDefault);
    QFETCH(bool, expectedBool);
    QFETCH(int, intDefault);
    QFETCH(int, expectedInt);
    QFETCH(QString, expectedString);

    const QString key = QStringLiteral("k");
    QHash<QString, QVariant> variables { { QStringLiteral("other"), QStringLiteral("x") } };
    if (stored.isValid())
        variables.insert(key, stored);
    Context context;
    context.setVariables(variables);

    QCOMPARE(context.boolVariable(key, boolDefault), expectedBool);
    QCOMPARE(context.intVariable(key, intDefault), expectedInt);
    QCOMPARE(context.stringVariable(key), expectedString);
}

void TestContext::links()
{
    Context context;
    context.setLinks({ { QStringLiteral("account_home"), QStringLiteral("https://example.com/account") } });
    QCOMPARE(context.link(QStringLiteral("account_home")), QStringLiteral("https://example.com/account"));
    QCOMPARE(context.link(QStringLiteral("unknown")), QString());

    // A new answer replaces the whole table.
    context.setLinks({ { QStringLiteral("help"), QStringLiteral("https://example.com/help") } });
    QCOMPARE(context.link(QStringLiteral("account_home")), QString());
    QCOMPARE(context.link(QStringLiteral("help")), QStringLiteral("https://example.com/help"));
}

void TestContext::textFollowsDefaultLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("de_CH") << QStringLiteral("de_CH") << QStringLiteral("Willkommen");
    QTest::newRow("de_DE") << QStringLiteral("de_DE") << QStringLiteral("Willkommen");
    QTest::newRow("en_GB") << QStringLiteral("en_GB") << QStringLiteral("Welcome");
    QTest::newRow("en_US") << QStringLiteral("en_US") << QStringLiteral("Welcome");
    QTest::newRow("no table for fr") << QStringLiteral("fr_FR") << QString();
}

void TestContext::textFollowsDefaultLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, expected);

    Context context;
    context.setTexts({
        { QStringLiteral("de"), { { QStringLiteral("welcome"), QStringLiteral("Willkommen") } } },
        { QStringLiteral("en"), { { QStringLiteral("welcome"), QStringLiteral("Welcome") } } },
    });
    QLocale::setDefault(QLocale(locale));

    QCOMPARE(context.text(QStringLiteral("welcome")), expected);
    QCOMPARE(context.text(QStringLiteral("unknown")), QString());
}

void TestContext::readersWhileTablesChange()
{
    // Readers on other threads while this thread keeps replacing every table. Each
    // table of one generation carries the same number, so a reader sees whole tables.
    Context context;
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    const auto publish = [&context](int generation) {
        const QString g = QString::number(generation);
        context.setVariables({ { QStringLiteral("a"), generation }, { QStringLiteral("b"), g } });
        context.setLinks({ { QStringLiteral("a"), g }, { QStringLiteral("b"), g } });
        context.setTexts(
            { { QStringLiteral("de"), { { QStringLiteral("a"), g }, { QStringLiteral("b"), g } } } });
    };
    publish(0);

    QAtomicInt stop = 0;
    QAtomicInt torn = 0;
    QAtomicInt reads = 0;
    std::vector<std::unique_ptr<QThread>> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back(QThread::create([&] {
            while (!stop.loadRelaxed()) {
                const int a = context.intVariable(QStringLiteral("a"), -1);
                const QString b = context.stringVariable(QStringLiteral("b"));
                const QString link = context.link(QStringLiteral("a"));
                const QString text = context.text(QStringLiteral("b"));
                if (a < 0 || b.isEmpty() || link.isEmpty() || text.isEmpty() || !context.isValid())
                    torn.ref();
                reads.ref();
            }
        }));
        readers.back()->start();
    }
    const auto stopReaders = [&] {
        stop.storeRelaxed(1);
        for (const std::unique_ptr<QThread> &reader : readers)
            reader->wait();
    };
    const auto guard = qScopeGuard(stopReaders);

    QElapsedTimer clock;
    clock.start();
    int generation = 0;
    while ((clock.elapsed() < 300 || reads.loadRelaxed() < 1000) && clock.elapsed() < 5000)
        publish(++generation);
    stopReaders();

    QCOMPARE(torn.loadRelaxed(), 0);
    QCOMPARE(context.intVariable(QStringLiteral("a"), -1), generation);
    QCOMPARE(context.text(QStringLiteral("a")), QString::number(generation));
}

NOXEL_APP_TEST_MAIN(TestContext)

#include "tst_context.moc"
