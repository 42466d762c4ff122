#include "localemanager.h"
#include "testhome.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTranslator>
#include <QtTest>

// Registered once per system language (LANG and LC_ALL in the test's environment):
// the system language is read once per process.
class TestLocaleManager : public QObject
{
    Q_OBJECT

public:
    explicit TestLocaleManager(const TestHome &home)
        : home(home)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void cataloguesAreEmbedded_data();
    void cataloguesAreEmbedded();
    void initialize_data();
    void initialize();
    void switchToGermanAndBack();
    void sameLanguageDoesNothing_data();
    void sameLanguageDoesNothing();

private:
    // The program's own string, as a freshly built window shows it.
    static QString programText();
    static QString qtText();
    void verifyGerman(bool german) const;
    QMap<QString, QString> stored() const { return TestHome::readIniSection(home.settingsFileName()); }

    const TestHome &home;
    QString systemLanguage;
};

void TestLocaleManager::initTestCase()
{
    systemLanguage = qEnvironmentVariable("NOXEL_TEST_SYSTEM_LANGUAGE");
    QVERIFY2(!systemLanguage.isEmpty(), "NOXEL_TEST_SYSTEM_LANGUAGE names the language the system locale gives");
    qInfo("system locale %s", qPrintable(QLocale::system().name()));
}

void TestLocaleManager::init()
{
    home.clearSettings();
}

void TestLocaleManager::cleanupTestCase()
{
    home.clearSettings();
}

QString TestLocaleManager::programText()
{
    // The connection panel's button while no tunnel is up.
    return QCoreApplication::translate("ConnectionPanel", "Connect");
}

QString TestLocaleManager::qtText()
{
    return QCoreApplication::translate("QProgressDialog", "Cancel");
}

void TestLocaleManager::verifyGerman(bool german) const
{
    QCOMPARE(programText(), german ? QStringLiteral("Verbinden") : QStringLiteral("Connect"));
    QCOMPARE(qtText(), german ? QStringLiteral("Abbrechen") : QStringLiteral("Cancel"));
}

void TestLocaleManager::cataloguesAreEmbedded_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");
    QTest::newRow("app") << QStringLiteral(":/i18n/app_de.qm") << QStringLiteral("ConnectionPanel")
                         << QStringLiteral("Connect") << QStringLiteral("Verbinden");
    QTest::newRow("qtbase") << QStringLiteral(":/i18n/qtbase_de.qm") << QStringLiteral("QProgressDialog")
                            << QStringLiteral("Cancel") << QStringLiteral("Abbrechen");
    // qt_de only names its parts; they must sit beside it.
    QTest::newRow("qt") << QStringLiteral(":/i18n/qt_de.qm") << QStringLiteral("QProgressDialog")
                        << QStringLiteral("Cancel") << QStringLiteral("Abbrechen");
    QTest::newRow("qtmultimedia") << QStringLiteral(":/i18n/qtmultimedia_de.qm") << QString() << QString()
                                  << QString();
}

void TestLocaleManager::cataloguesAreEmbedded()
{
    QFETCH(QString, fileName);
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, translation);

    QVERIFY(QFile::exists(fileName));
    QTranslator translator;
    QVERIFY(translator.load(fileName));
    if (!source.isEmpty())
        QCOMPARE(
            translator.translate(context.toLatin1().constData(), source.toLatin1().constData()), translation);
}

void TestLocaleManager::initialize_data()
{
    QTest::addColumn<QString>("storedLine"); // empty: nothing stored
    QTest::addColumn<QString>("expected"); // empty: the system language

    QTest::newRow("nothing stored") << QString() << QString();
    QTest::newRow("stored empty") << QStringLiteral("language=") << QString();
    // Older versions stored whole locale names; those no longer count.
    QTest::newRow("stored de_DE") << QStringLiteral("language=de_DE") << QString();
    QTest::newRow("stored fr_FR") << QStringLiteral("language=fr_FR") << QString();
    QTest::newRow("stored de") << QStringLiteral("language=de") << QStringLiteral("de");
    QTest::newRow("stored en") << QStringLiteral("language=en") << QStringLiteral("en");
    // Not a language: a hand-edited file, or one written under the C locale.
    QTest::newRow("stored C") << QStringLiteral("language=C") << QString();
    QTest::newRow("stored 12") << QStringLiteral("language=12") << QString();
}

void TestLocaleManager::initialize()
{
    QFETCH(QString, storedLine);
    QFETCH(QString, expected);
    if (!storedLine.isEmpty())
        home.writeSettings({ storedLine });
    if (expected.isEmpty())
        expected = systemLanguage;

    {
        LocaleManager manager;
        manager.initialize();

        QCOMPARE(manager.language(), expected);
        QCOMPARE(manager.countryCode(), QLocale::system().name().mid(3));
        QCOMPARE(QLocale().name().left(2), expected);
        // Every language but English installs the four catalogues, found or not.
        QCOMPARE(manager.translatorCount(), expected == QLatin1String("en") ? 0 : 4);
        verifyGerman(expected == QLatin1String("de"));
        // Starting up writes nothing.
        QCOMPARE(stored().value(QStringLiteral("language")), storedLine.section(QLatin1Char('='), 1));
    }
    // The manager takes its catalogues with it.
    verifyGerman(false);
}

void TestLocaleManager::switchToGermanAndBack()
{
    LocaleManager manager;
    manager.initialize();
    QSignalSpy spy(&manager, &LocaleManager::languageChanged);

    if (systemLanguage != QLatin1String("de")) {
        manager.setLanguage(QStringLiteral("de"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(stored().value(QStringLiteral("language")), QStringLiteral("de"));
    }
    QCOMPARE(manager.language(), QStringLiteral("de"));
    QCOMPARE(manager.translatorCount(), 4);
    QCOMPARE(QLocale().language(), QLocale::German);
    verifyGerman(true);
    spy.clear();

    manager.setLanguage(QStringLiteral("en"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(manager.language(), QStringLiteral("en"));
    QCOMPARE(stored().value(QStringLiteral("language")), QStringLiteral("en"));
    QCOMPARE(manager.translatorCount(), 0);
    QCOMPARE(QLocale().language(), QLocale::English);
    verifyGerman(false);

    // And once more, so that switching does not pile up catalogues.
    manager.setLanguage(QStringLiteral("de"));
    QCOMPARE(manager.translatorCount(), 4);
    verifyGerman(true);
    manager.setLanguage(QStringLiteral("en"));
    QCOMPARE(manager.translatorCount(), 0);
    verifyGerman(false);
}

void TestLocaleManager::sameLanguageDoesNothing_data()
{
    QTest::addColumn<QString>("language"); // empty: the system language, right after start

    QTest::newRow("system language") << QString();
    QTest::newRow("de") << QStringLiteral("de");
    QTest::newRow("en") << QStringLiteral("en");
}

void TestLocaleManager::sameLanguageDoesNothing()
{
    QFETCH(QString, language);

    LocaleManager manager;
    manager.initialize();
    if (language.isEmpty())
        language = systemLanguage;
    else
        manager.setLanguage(language);
    const QMap<QString, QString> before = stored();
    const int translators = manager.translatorCount();
    QSignalSpy spy(&manager, &LocaleManager::languageChanged);

    manager.setLanguage(language);

    QCOMPARE(spy.count(), 0);
    QCOMPARE(stored(), before);
    QCOMPARE(manager.translatorCount(), translators);
    verifyGerman(language == QLatin1String("de"));
}

NOXEL_APP_TEST_MAIN(TestLocaleManager)

#include "tst_localemanager.moc"
