#include "configuration.h"
#include "testhome.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

using ConfigurationAction = std::function<void(Configuration &)>;
using ConfigurationRead = std::function<QVariant(const Configuration &)>;
Q_DECLARE_METATYPE(ConfigurationAction)
Q_DECLARE_METATYPE(ConfigurationRead)

class TestConfiguration : public QObject
{
    Q_OBJECT

public:
    explicit TestConfiguration(const TestHome &home)
        : home(home)
    {
    }

private slots:
    void init();
    void cleanupTestCase();

    void freshStore_data();
    void freshStore();
    void storedUuidIsKept();
    void autoStartFileWins_data();
    void autoStartFileWins();
    void setAutoStart();
    void defaultRemovesKey_data();
    void defaultRemovesKey();
    void emptyCredentialsAreNotStored();
    void saveCredentials();
    void storedAutoConnectType_data();
    void storedAutoConnectType();
    void wrongTypes_data();
    void wrongTypes();
    void changedSignal_data();
    void changedSignal();
    void hasCredentials_data();
    void hasCredentials();

private:
    QMap<QString, QString> stored() const { return TestHome::readIniSection(home.settingsFileName()); }
    void createAutoStartEntry() const;

    const TestHome &home;
};

void TestConfiguration::init()
{
    home.clearSettings();
}

void TestConfiguration::cleanupTestCase()
{
    home.clearSettings();
}

void TestConfiguration::createAutoStartEntry() const
{
    QDir().mkpath(QFileInfo(home.autoStartFileName()).absolutePath());
    QFile file(home.autoStartFileName());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nExec=noxel -l\n");
}

void TestConfiguration::freshStore_data()
{
    QTest::addColumn<bool>("entryPresent");
    QTest::newRow("no autostart entry") << false;
    QTest::newRow("autostart entry") << true;
}

void TestConfiguration::freshStore()
{
    QFETCH(bool, entryPresent);
    if (entryPresent)
        createAutoStartEntry();

    Configuration configuration;

    const QMap<QString, QString> values = stored();
    QCOMPARE(values.keys(), (QStringList { QStringLiteral("auto_start"), QStringLiteral("uuid") }));
    const QString uuid = values.value(QStringLiteral("uuid"));
    QCOMPARE(uuid.size(), 38);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\{[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\\}$"))
                 .match(uuid)
                 .hasMatch(),
        qPrintable(uuid));
    QCOMPARE(configuration.uuid(), uuid);
    QCOMPARE(values.value(QStringLiteral("auto_start")),
        entryPresent ? QStringLiteral("true") : QStringLiteral("false"));
    QCOMPARE(configuration.autoStart(), entryPresent);

    // Defaults of a fresh store.
    QVERIFY(configuration.saveCredentials());
    QVERIFY(configuration.offerAlternative());
    QCOMPARE(configuration.autoConnectType(), int(Configuration::AutoConnectLast));
    QVERIFY(!configuration.isWizardCompleted());
    QVERIFY(!configuration.hasCredentials());

    // A second start keeps the identity it was given.
    Configuration again;
    QCOMPARE(again.uuid(), uuid);
}

void TestConfiguration::storedUuidIsKept()
{
    const QString uuid = QStringLiteral("{0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0}");
    home.writeSettings({ QStringLiteral("uuid=") + uuid });

    Configuration configuration;

    QCOMPARE(configuration.uuid(), uuid);
    QCOMPARE(stored().value(QStringLiteral("uuid")), uuid);
}

void TestConfiguration::autoStartFileWins_data()
{
    QTest::addColumn<QString>("storedValue");
    QTest::addColumn<bool>("entryPresent");
    QTest::newRow("stored true, no entry") << QStringLiteral("true") << false;
    QTest::newRow("stored false, entry") << QStringLiteral("false") << true;
    QTest::newRow("stored true, entry") << QStringLiteral("true") << true;
}

void TestConfiguration::autoStartFileWins()
{
    QFETCH(QString, storedValue);
    QFETCH(bool, entryPresent);
    home.writeSettings({ QStringLiteral("auto_start=") + storedValue });
    if (entryPresent)
        createAutoStartEntry();

    Configuration configuration;

    QCOMPARE(configuration.autoStart(), entryPresent);
    QCOMPARE(stored().value(QStringLiteral("auto_start")),
        entryPresent ? QStringLiteral("true") : QStringLiteral("false"));
    QCOMPARE(QFileInfo::exists(home.autoStartFileName()), entryPresent);
}

void TestConfiguration::setAutoStart()
{
    Configuration configuration;
    QVERIFY(!configuration.autoStart());

    configuration.setAutoStart(true);
    QVERIFY(configuration.autoStart());
    QCOMPARE(stored().value(QStringLiteral("auto_start")), QStringLiteral("true"));
    QFile entry(home.autoStartFileName());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QVERIFY(entry.readAll().contains(" -l\n"));
    entry.close();

    configuration.setAutoStart(false);
    QVERIFY(!configuration.autoStart());
    // Unlike the other preferences, false is written rather than removed: its absence
    // tells the program it has never set up the entry.
    QVERIFY(stored().contains(QStringLiteral("auto_start")));
    QCOMPARE(stored().value(QStringLiteral("auto_start")), QStringLiteral("false"));
    QVERIFY(!QFileInfo::exists(home.autoStartFileName()));
}

void TestConfiguration::defaultRemovesKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<ConfigurationAction>("setOther");
    QTest::addColumn<ConfigurationAction>("setDefault");
    QTest::addColumn<ConfigurationRead>("read");
    QTest::addColumn<QString>("storedText");
    QTest::addColumn<QVariant>("otherValue");
    QTest::addColumn<QVariant>("defaultValue");

    const auto flag = [](const char *key, void (Configuration::*set)(bool),
                          bool (Configuration::*get)() const, bool defaultValue) {
        QTest::newRow(key) << QString::fromLatin1(key)
                           << ConfigurationAction([=](Configuration &c) { (c.*set)(!defaultValue); })
                           << ConfigurationAction([=](Configuration &c) { (c.*set)(defaultValue); })
                           << ConfigurationRead([=](const Configuration &c) { return QVariant((c.*get)()); })
                           << (defaultValue ? QStringLiteral("false") : QStringLiteral("true"))
                           << QVariant(!defaultValue) << QVariant(defaultValue);
    };
    flag("offer_alternative", &Configuration::setOfferAlternative, &Configuration::offerAlternative, true);
    flag("save_credentials", &Configuration::setSaveCredentials, &Configuration::saveCredentials, true);
    flag("wizard_completed", &Configuration::setWizardCompleted, &Configuration::isWizardCompleted, false);
    flag("speed_bits", &Configuration::setSpeedBits, &Configuration::speedBits, false);
    flag("auto_connect", &Configuration::setAutoConnect, &Configuration::autoConnect, false);
    flag("show_indicator", &Configuration::setShowIndicator, &Configuration::showIndicator, false);
    flag("minimize_to_tray", &Configuration::setMinimizeToTray, &Configuration::minimizeToTray, false);
    flag("close_to_tray", &Configuration::setCloseToTray, &Configuration::closeToTray, false);

    const auto text = [](const char *key, void (Configuration::*set)(const QString &),
                          QString (Configuration::*get)() const) {
        const QString value = QStringLiteral("value of ") + QString::fromLatin1(key);
        QTest::newRow(key) << QString::fromLatin1(key)
                           << ConfigurationAction([=](Configuration &c) { (c.*set)(value); })
                           << ConfigurationAction([=](Configuration &c) { (c.*set)(QString()); })
                           << ConfigurationRead([=](const Configuration &c) { return QVariant((c.*get)()); })
                           << value << QVariant(value) << QVariant(QString());
    };
    text("trial_uid", &Configuration::setTrialUid, &Configuration::trialUid);
    text("auto_connect_server_uid", &Configuration::setAutoConnectServerUid,
        &Configuration::autoConnectServerUid);
    text("last_protocol", &Configuration::setLastProtocol, &Configuration::lastProtocol);

    const auto type = [](const char *name, int value) {
        QTest::newRow(name) << QStringLiteral("auto_connect_type")
                            << ConfigurationAction([=](Configuration &c) { c.setAutoConnectType(value); })
                            << ConfigurationAction([](Configuration &c) { c.setAutoConnectType(2); })
                            << ConfigurationRead(
                                   [](const Configuration &c) { return QVariant(c.autoConnectType()); })
                            << QString::number(value) << QVariant(value) << QVariant(2);
    };
    type("auto_connect_type none", Configuration::AutoConnectNone);
    type("auto_connect_type nearest", Configuration::AutoConnectNearest);
}

void TestConfiguration::defaultRemovesKey()
{
    QFETCH(QString, key);
    QFETCH(ConfigurationAction, setOther);
    QFETCH(ConfigurationAction, setDefault);
    QFETCH(ConfigurationRead, read);
    QFETCH(QString, storedText);
    QFETCH(QVariant, otherValue);
    QFETCH(QVariant, defaultValue);

    Configuration configuration;
    QCOMPARE(read(configuration), defaultValue);
    QVERIFY(!stored().contains(key));

    setOther(configuration);
    QCOMPARE(read(configuration), otherValue);
    QCOMPARE(stored().value(key), storedText);
    // What was written is what the next start reads.
    QCOMPARE(read(Configuration()), otherValue);

    setDefault(configuration);
    QCOMPARE(read(configuration), defaultValue);
    QVERIFY2(!stored().contains(key), qPrintable(stored().value(key)));
    QCOMPARE(read(Configuration()), defaultValue);
}

void TestConfiguration::emptyCredentialsAreNotStored()
{
    Configuration configuration;
    configuration.setCredentials(QStringLiteral("alice"), QStringLiteral("secret"));
    configuration.setCredentials(QString(), QString());
    QVERIFY(!stored().contains(QStringLiteral("username")));
    QVERIFY(!stored().contains(QStringLiteral("password")));

    // Turning saving off and on again with nothing to save writes nothing either.
    configuration.setSaveCredentials(false);
    configuration.setSaveCredentials(true);
    QCOMPARE(stored().keys(), (QStringList { QStringLiteral("auto_start"), QStringLiteral("uuid") }));
}

void TestConfiguration::saveCredentials()
{
    const QString username = QStringLiteral("alice");
    const QString password = QStringLiteral("s3cret");
    Configuration configuration;
    configuration.setCredentials(username, password);
    QCOMPARE(stored().value(QStringLiteral("username")), username);
    QCOMPARE(stored().value(QStringLiteral("password")), password);

    configuration.setSaveCredentials(false);
    QMap<QString, QString> values = stored();
    QCOMPARE(values.value(QStringLiteral("save_credentials")), QStringLiteral("false"));
    QVERIFY(!values.contains(QStringLiteral("username")));
    QVERIFY(!values.contains(QStringLiteral("password")));
    // The running program still knows them.
    QCOMPARE(configuration.username(), username);
    QCOMPARE(configuration.password(), password);
    QVERIFY(configuration.hasCredentials());

    // New credentials while saving is off stay in memory only.
    configuration.setCredentials(QStringLiteral("bob"), QStringLiteral("hunter2"));
    values = stored();
    QVERIFY(!values.contains(QStringLiteral("username")));
    QVERIFY(!values.contains(QStringLiteral("password")));
    QCOMPARE(configuration.username(), QStringLiteral("bob"));
    {
        Configuration restarted;
        QVERIFY(!restarted.saveCredentials());
        QVERIFY(!restarted.hasCredentials());
    }

    configuration.setSaveCredentials(true);
    values = stored();
    QVERIFY(!values.contains(QStringLiteral("save_credentials")));
    QCOMPARE(values.value(QStringLiteral("username")), QStringLiteral("bob"));
    QCOMPARE(values.value(QStringLiteral("password")), QStringLiteral("hunter2"));
    Configuration restarted;
    QCOMPARE(restarted.username(), QStringLiteral("bob"));
    QCOMPARE(restarted.password(), QStringLiteral("hunter2"));
}

void TestConfiguration::storedAutoConnectType_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("expected"); // -1: any valid type
    QTest::newRow("absent") << QStringList() << 2;
    QTest::newRow("nearest") << QStringList { QStringLiteral("auto_connect_type=4") } << 4;
    QTest::newRow("none") << QStringList { QStringLiteral("auto_connect_type=0") } << 0;
    QTest::newRow("above range") << QStringList { QStringLiteral("auto_connect_type=7") } << 0;
    QTest::newRow("below range") << QStringList { QStringLiteral("auto_connect_type=-1") } << 0;
    QTest::newRow("not a number") << QStringList { QStringLiteral("auto_connect_type=abc") } << -1;
    QTest::newRow("empty") << QStringList { QStringLiteral("auto_connect_type=") } << -1;
}

void TestConfiguration::storedAutoConnectType()
{
    QFETCH(QStringList, lines);
    QFETCH(int, expected);
    home.writeSettings(lines);

    Configuration configuration;

    if (expected < 0) {
        QVERIFY(configuration.autoConnectType() >= Configuration::AutoConnectNone);
        QVERIFY(configuration.autoConnectType() <= Configuration::AutoConnectNearest);
    } else {
        QCOMPARE(configuration.autoConnectType(), expected);
    }
}

void TestConfiguration::wrongTypes_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<ConfigurationRead>("read");
    QTest::addColumn<QVariant>("expected");

    const ConfigurationRead speedBits = [](const Configuration &c) { return QVariant(c.speedBits()); };
    const ConfigurationRead wizard = [](const Configuration &c) { return QVariant(c.isWizardCompleted()); };
    const ConfigurationRead offer = [](const Configuration &c) { return QVariant(c.offerAlternative()); };
    const ConfigurationRead username = [](const Configuration &c) { return QVariant(c.username()); };
    const ConfigurationRead trialUid = [](const Configuration &c) { return QVariant(c.trialUid()); };

    // QVariant's rules: any text but "", "0" and "false" is true; a list of one is its text.
    QTest::newRow("bool from a word") << QStringLiteral("speed_bits=banana") << speedBits << QVariant(true);
    QTest::newRow("bool from a number") << QStringLiteral("wizard_completed=3") << wizard << QVariant(true);
    QTest::newRow("bool from zero") << QStringLiteral("wizard_completed=0") << wizard << QVariant(false);
    QTest::newRow("true default from empty")
        << QStringLiteral("offer_alternative=") << offer << QVariant(false);
    QTest::newRow("string from a list")
        << QStringLiteral("username=alice, bob") << username << QVariant(QString());
    QTest::newRow("string from a number")
        << QStringLiteral("trial_uid=42") << trialUid << QVariant(QStringLiteral("42"));
    QTest::newRow("string from a variant")
        << QStringLiteral("trial_uid=@Rect(1 2 3 4)") << trialUid << QVariant(QString());
}

void TestConfiguration::wrongTypes()
{
    QFETCH(QString, line);
    QFETCH(ConfigurationRead, read);
    QFETCH(QVariant, expected);
    home.writeSettings({ line });

    Configuration configuration;

    QCOMPARE(read(configuration), expected);
}

void TestConfiguration::changedSignal_data()
{
    QTest::addColumn<ConfigurationAction>("action");
    QTest::addColumn<int>("emissions");
    QTest::addColumn<bool>("fileChanges");

    QTest::newRow("three changes in one update") << ConfigurationAction([](Configuration &c) {
        c.beginUpdate();
        c.setSpeedBits(true);
        c.setTrialUid(QStringLiteral("trial"));
        c.setAutoConnectType(Configuration::AutoConnectBestPing);
        c.endUpdate();
    }) << 1 << true;
    QTest::newRow("three changes one by one") << ConfigurationAction([](Configuration &c) {
        c.setSpeedBits(true);
        c.setTrialUid(QStringLiteral("trial"));
        c.setAutoConnectType(Configuration::AutoConnectBestPing);
    }) << 3 << true;
    QTest::newRow("no change in an update") << ConfigurationAction([](Configuration &c) {
        c.beginUpdate();
        c.setSpeedBits(false);
        c.setOfferAlternative(true);
        c.setAutoConnectType(Configuration::AutoConnectLast);
        c.endUpdate();
    }) << 0 << false;
    QTest::newRow("empty update") << ConfigurationAction([](Configuration &c) {
        c.beginUpdate();
        c.endUpdate();
    }) << 0 << false;

    // Every setter given the value it already holds.
    const QList<QPair<const char *, ConfigurationAction>> unchanged {
        { "same wizard_completed", [](Configuration &c) { c.setWizardCompleted(false); } },
        { "same save_credentials", [](Configuration &c) { c.setSaveCredentials(true); } },
        { "same credentials", [](Configuration &c) { c.setCredentials(QString(), QString()); } },
        { "same trial_uid", [](Configuration &c) { c.setTrialUid(QString()); } },
        { "same auto_start", [](Configuration &c) { c.setAutoStart(false); } },
        { "same offer_alternative", [](Configuration &c) { c.setOfferAlternative(true); } },
        { "same speed_bits", [](Configuration &c) { c.setSpeedBits(false); } },
        { "same auto_connect", [](Configuration &c) { c.setAutoConnect(false); } },
        { "same auto_connect_type", [](Configuration &c) { c.setAutoConnectType(2); } },
        { "same auto_connect_server_uid", [](Configuration &c) { c.setAutoConnectServerUid(QString()); } },
        { "same show_indicator", [](Configuration &c) { c.setShowIndicator(false); } },
        { "same minimize_to_tray", [](Configuration &c) { c.setMinimizeToTray(false); } },
        { "same close_to_tray", [](Configuration &c) { c.setCloseToTray(false); } },
        { "same last_protocol", [](Configuration &c) { c.setLastProtocol(QString()); } },
    };
    for (const auto &[name, action] : unchanged)
        QTest::newRow(name) << action << 0 << false;
}

void TestConfiguration::changedSignal()
{
    QFETCH(ConfigurationAction, action);
    QFETCH(int, emissions);
    QFETCH(bool, fileChanges);

    Configuration configuration;
    QFile file(home.settingsFileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    const QDateTime modifiedBefore = QFileInfo(home.settingsFileName()).lastModified();
    QSignalSpy spy(&configuration, &Configuration::changed);

    // A write in the same millisecond would not move the time; make any write show.
    QTest::qWait(5);
    action(configuration);

    QCOMPARE(spy.count(), emissions);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray after = file.readAll();
    QCOMPARE(after != before, fileChanges);
    if (!fileChanges)
        QCOMPARE(QFileInfo(home.settingsFileName()).lastModified(), modifiedBefore);
}

void TestConfiguration::hasCredentials_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("expected");
    QTest::newRow("both") << QStringLiteral("alice") << QStringLiteral("secret") << true;
    QTest::newRow("no password") << QStringLiteral("alice") << QString() << false;
    QTest::newRow("no user name") << QString() << QStringLiteral("secret") << false;
    QTest::newRow("neither") << QString() << QString() << false;
}

void TestConfiguration::hasCredentials()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(bool, expected);

    Configuration configuration;
    configuration.setCredentials(username, password);
    QCOMPARE(configuration.hasCredentials(), expected);
    QCOMPARE(Configuration().hasCredentials(), expected);
}

NOXEL_APP_TEST_MAIN(TestConfiguration)

#include "tst_configuration.moc"
