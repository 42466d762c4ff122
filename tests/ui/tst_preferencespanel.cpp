#include "configuration.h"
#include "core.h"
#include "databasemanager.h"
#include "localemanager.h"
#include "mirrow.h"
#include "preferencespanel.h"
#include "testhome.h"
#include "vpnmanager.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTranslator>
#include <QtTest>

// The preferences as the user changes them: what a control writes, what restoring
// the defaults announces, stored values the panel has no control for, the language
// switch and the auto-connect server while the server list changes.

namespace {

const QString PositionKey = QStringLiteral("status_indicator_pos");
const QString ShowIndicator
    = QStringLiteral("Show the connection status in a corner of the screen (movable).");
const QString SpeedBits = QStringLiteral("Show network speed in Bit notation");
const QString BestPing = QStringLiteral("Location with best ping time");

// Locations of the catalogue, by uid; the servers themselves are on loopback.
const QMap<QString, QString> Locations {
    { QStringLiteral("nl-1"), QStringLiteral("Amsterdam") },
    { QStringLiteral("de-1"), QStringLiteral("Frankfurt") },
    { QStringLiteral("us-1"), QStringLiteral("New York") },
};

// A catalogue with one German text of the panel.
class PanelCatalogue : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        return qstrcmp(context, "PreferencesPanel") == 0 && qstrcmp(sourceText, "Last location") == 0
            ? QStringLiteral("Letzter Standort")
            : QString();
    }
};

} // namespace

class TestPreferencesPanel : public QObject
{
    Q_OBJECT

public:
    explicit TestPreferencesPanel(const TestHome &home)
        : home(home)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void checkBox_data();
    void checkBox();
    void restoreDefaults_data();
    void restoreDefaults();
    void autoConnectTypeWithoutRadio_data();
    void autoConnectTypeWithoutRadio();
    void language_data();
    void language();
    void panelTextsFollowCatalogue();
    void serverAcrossListChanges_data();
    void serverAcrossListChanges();

private:
    void setServers(const QStringList &uids) const;
    PreferencesPanel *showPanel();
    template<typename Button> Button *button(const QString &text) const
    {
        const QList<Button *> buttons = panel->findChildren<Button *>();
        for (Button *button : buttons) {
            if (button->text() == text)
                return button;
        }
        qFatal("no button \"%s\"", qPrintable(text));
    }
    QComboBox *languageBox() const
    {
        return panel->findChild<QComboBox *>(QString(), Qt::FindDirectChildrenOnly);
    }
    QComboBox *serverBox() const { return panel->findChild<QGroupBox *>()->findChild<QComboBox *>(); }
    QAbstractButton *restoreButton() const
    {
        return panel->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::RestoreDefaults);
    }

    const TestHome &home;
    std::unique_ptr<Core> core;
    std::unique_ptr<PreferencesPanel> panel;
};

void TestPreferencesPanel::initTestCase()
{
    // Requests set off by a language switch find no provider, on this machine.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    qputenv(Mirrow::AddressesVariable, QByteArray("127.0.0.1:") + QByteArray::number(closed.serverPort()));
    closed.close();
    core = std::make_unique<Core>();
    QVERIFY(core->databaseManager()->open());
    setServers(Locations.keys());
}

void TestPreferencesPanel::init()
{
    // The configuration's own defaults, English and no elevation.
    Configuration *configuration = core->configuration();
    configuration->setShowIndicator(false);
    configuration->setMinimizeToTray(false);
    configuration->setCloseToTray(false);
    configuration->setSaveCredentials(true);
    configuration->setAutoStart(false);
    configuration->setOfferAlternative(true);
    configuration->setSpeedBits(false);
    configuration->setAutoConnect(false);
    configuration->setAutoConnectType(Configuration::AutoConnectLast);
    configuration->setAutoConnectServerUid(QString());
    core->localeManager()->setLanguage(QStringLiteral("en"));
    QSettings().remove(QStringLiteral("run_elevated"));
    QSettings().setValue(PositionKey, QPoint(30, 40));
}

void TestPreferencesPanel::cleanup()
{
    panel.reset();
    setServers(Locations.keys());
}

void TestPreferencesPanel::cleanupTestCase()
{
    core.reset();
}

void TestPreferencesPanel::setServers(const QStringList &uids) const
{
    QList<VpnServer> servers;
    for (const QString &uid : uids) {
        Location location;
        location.setName(Locations.value(uid));
        servers.append(VpnServer());
        servers.last().setUid(uid);
        servers.last().setLocation(location);
        servers.last().setAddress(QStringLiteral("127.0.0.%1").arg(servers.size() + 30));
    }
    QVERIFY(core->databaseManager()->updateServers(servers));
    core->vpnManager()->load();
    QCOMPARE(core->vpnManager()->count(), uids.size());
}

PreferencesPanel *TestPreferencesPanel::showPanel()
{
    panel = std::make_unique<PreferencesPanel>(core.get());
    panel->show();
    return panel.get();
}

void TestPreferencesPanel::checkBox_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("before");
    QTest::addColumn<bool>("positionKept");
    QTest::addColumn<bool>("autoStartEntry");

    QTest::newRow("status indicator on: back to its default place")
        << ShowIndicator << false << false << false;
    QTest::newRow("status indicator off") << ShowIndicator << true << true << false;
    const QString autoStart = QStringLiteral("Start Noxel when the desktop starts");
    QTest::newRow("start with the desktop") << autoStart << false << true << true;
    QTest::newRow("no start with the desktop") << autoStart << true << true << false;
}

void TestPreferencesPanel::checkBox()
{
    QFETCH(QString, label);
    QFETCH(bool, before);
    QFETCH(bool, positionKept);
    QFETCH(bool, autoStartEntry);

    showPanel();
    auto *box = button<QCheckBox>(label);
    if (box->isChecked() != before)
        box->click();
    // The status window was dragged somewhere meanwhile.
    QSettings().setValue(PositionKey, QPoint(30, 40));

    QSignalSpy changed(core->configuration(), &Configuration::changed);
    box->click();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(QSettings().contains(PositionKey), positionKept);
    QCOMPARE(QFileInfo::exists(home.autoStartFileName()), autoStartEntry);
    // Shown again, the panel reads back what it wrote, and writes nothing.
    panel->hide();
    panel->show();
    QCOMPARE(box->isChecked(), !before);
    QCOMPARE(changed.size(), 1);
}

void TestPreferencesPanel::restoreDefaults_data()
{
    QTest::addColumn<QStringList>("clicked");
    QTest::addColumn<int>("storedType");
    QTest::addColumn<QString>("storedServer");
    QTest::addColumn<int>("changes");

    // The configuration's defaults differ from the panel's in four controls: status
    // indicator, close to tray, start with the desktop and auto-connect.
    QTest::newRow("configuration defaults")
        << QStringList() << int(Configuration::AutoConnectLast) << QString() << 4;
    QTest::newRow("every control differs")
        << QStringList { QStringLiteral("Start Noxel with administrator privileges"),
               QStringLiteral("Minimize to system tray"), QStringLiteral("Save login credentials"),
               QStringLiteral("Offer alternative location if the selected has high load"), SpeedBits }
        << int(Configuration::AutoConnectSpecific) << QStringLiteral("de-1") << 10;
    // The box shows no entry already, yet the stored server goes.
    QTest::newRow("a server the list lacks")
        << QStringList() << int(Configuration::AutoConnectBestPing) << QStringLiteral("gone-1") << 6;
}

void TestPreferencesPanel::restoreDefaults()
{
    QFETCH(QStringList, clicked);
    QFETCH(int, storedType);
    QFETCH(QString, storedServer);
    QFETCH(int, changes);

    Configuration *configuration = core->configuration();
    configuration->setAutoConnectType(storedType);
    configuration->setAutoConnectServerUid(storedServer);
    showPanel();
    QCOMPARE(serverBox()->currentText(), Locations.value(storedServer));
    for (const QString &label : clicked)
        button<QCheckBox>(label)->click();

    QSignalSpy changed(configuration, &Configuration::changed);
    restoreButton()->click();
    QCOMPARE(changed.size(), changes);
    QVERIFY(configuration->showIndicator());
    QVERIFY(!configuration->minimizeToTray());
    QVERIFY(configuration->closeToTray());
    QVERIFY(configuration->saveCredentials());
    QVERIFY(configuration->autoStart());
    QVERIFY(configuration->offerAlternative());
    QVERIFY(!configuration->speedBits());
    QVERIFY(configuration->autoConnect());
    QCOMPARE(configuration->autoConnectType(), int(Configuration::AutoConnectLast));
    QCOMPARE(configuration->autoConnectServerUid(), QString());
    QCOMPARE(serverBox()->currentIndex(), -1);
    QVERIFY(QFileInfo::exists(home.autoStartFileName()));
    QVERIFY(!QSettings().contains(QStringLiteral("run_elevated")));
    QVERIFY(!QSettings().contains(PositionKey));
    QCOMPARE(core->localeManager()->language(), QStringLiteral("en"));

    // Nothing left to change.
    restoreButton()->click();
    QCOMPARE(changed.size(), changes);
}

void TestPreferencesPanel::autoConnectTypeWithoutRadio_data()
{
    QTest::addColumn<int>("shownBefore");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<int>("typeAfterChange");

    QTest::newRow("nothing selected") << int(Configuration::AutoConnectBestPing) << 0 << BestPing << 3;
    QTest::newRow("above the range") << int(Configuration::AutoConnectBestPing) << 5 << BestPing << 3;
    QTest::newRow("negative") << int(Configuration::AutoConnectBestPing) << -1 << BestPing << 3;
    // A new panel has no radio button checked: the stored value stays.
    QTest::newRow("new panel") << -1 << 7 << QString() << 7;
    QTest::newRow("in range") << int(Configuration::AutoConnectBestPing) << 1
                              << QStringLiteral("This specific location:") << 1;
}

void TestPreferencesPanel::autoConnectTypeWithoutRadio()
{
    QFETCH(int, shownBefore);
    QFETCH(int, stored);
    QFETCH(QString, checked);
    QFETCH(int, typeAfterChange);

    Configuration *configuration = core->configuration();
    configuration->setAutoConnectType(shownBefore);
    showPanel();
    panel->hide();
    configuration->setAutoConnectType(stored);
    QSignalSpy changed(configuration, &Configuration::changed);
    panel->show();

    const QList<QRadioButton *> radios = panel->findChildren<QRadioButton *>();
    QCOMPARE(radios.size(), 4);
    for (const QRadioButton *radio : radios)
        QCOMPARE(radio->isChecked(), radio->text() == checked);
    QCOMPARE(changed.size(), 0);
    QCOMPARE(configuration->autoConnectType(), stored);
    button<QCheckBox>(SpeedBits)->click();
    QCOMPARE(configuration->autoConnectType(), typeAfterChange);
}

void TestPreferencesPanel::language_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("restoreText");

    QTest::newRow("German") << QStringLiteral("en") << QStringLiteral("de") << QStringLiteral("de")
                            << QStringLiteral("Voreinstellungen");
    QTest::newRow("English") << QStringLiteral("de") << QStringLiteral("en") << QStringLiteral("en")
                             << QStringLiteral("Restore Defaults");
    // Another control changes under a language the list lacks: the language stays.
    QTest::newRow("French kept") << QStringLiteral("fr") << QString() << QStringLiteral("fr")
                                 << QStringLiteral("Restore Defaults");
}

void TestPreferencesPanel::language()
{
    QFETCH(QString, before);
    QFETCH(QString, chosen);
    QFETCH(QString, after);
    QFETCH(QString, restoreText);

    core->localeManager()->setLanguage(before);
    showPanel();
    // The whole interface follows, a window the panel does not know of as well.
    QDialogButtonBox elsewhere(QDialogButtonBox::RestoreDefaults);
    elsewhere.show();

    if (chosen.isEmpty())
        button<QCheckBox>(SpeedBits)->click();
    else
        languageBox()->setCurrentIndex(languageBox()->findData(chosen, Qt::UserRole));
    QCOMPARE(core->localeManager()->language(), after);
    QCOMPARE(QSettings().value(QStringLiteral("language")).toString(), after);
    QTRY_COMPARE(restoreButton()->text(), restoreText);
    QTRY_COMPARE(elsewhere.button(QDialogButtonBox::RestoreDefaults)->text(), restoreText);
}

void TestPreferencesPanel::panelTextsFollowCatalogue()
{
    showPanel();
    PanelCatalogue catalogue;
    QVERIFY(QCoreApplication::installTranslator(&catalogue));
    QTRY_VERIFY(
        panel->findChildren<QRadioButton *>().constFirst()->text() == QStringLiteral("Letzter Standort"));
    QVERIFY(QCoreApplication::removeTranslator(&catalogue));
    QTRY_VERIFY(
        panel->findChildren<QRadioButton *>().constFirst()->text() == QStringLiteral("Last location"));
}

void TestPreferencesPanel::serverAcrossListChanges_data()
{
    QTest::addColumn<QStringList>("listedBefore");

    QTest::newRow("list replaced") << QStringList { QStringLiteral("nl-1"), QStringLiteral("us-1") };
    QTest::newRow("list arrives later") << QStringList();
}

void TestPreferencesPanel::serverAcrossListChanges()
{
    QFETCH(QStringList, listedBefore);

    // Not the first entry of the new list.
    Configuration *configuration = core->configuration();
    configuration->setAutoConnectType(Configuration::AutoConnectSpecific);
    configuration->setAutoConnectServerUid(QStringLiteral("us-1"));
    setServers(listedBefore);
    showPanel();
    QSignalSpy changed(configuration, &Configuration::changed);

    // The user changes something else while the list is not the final one.
    button<QCheckBox>(SpeedBits)->click();
    setServers(Locations.keys());
    QVERIFY(serverBox()->itemText(0) != QStringLiteral("New York"));
    QCOMPARE(configuration->autoConnectServerUid(), QStringLiteral("us-1"));
    QCOMPARE(serverBox()->currentText(), QStringLiteral("New York"));
    QCOMPARE(changed.size(), 1);

    // The user's own choice is written.
    serverBox()->setCurrentIndex(serverBox()->findText(QStringLiteral("Amsterdam")));
    QCOMPARE(configuration->autoConnectServerUid(), QStringLiteral("nl-1"));
    QCOMPARE(changed.size(), 2);
}

NOXEL_APP_TEST_MAIN(TestPreferencesPanel)

#include "tst_preferencespanel.moc"
