#include "alertwidget.h"
#include "configuration.h"
#include "core.h"
#include "credentialswizardpage.h"
#include "localemanager.h"
#include "logindialog.h"
#include "loginwizardpage.h"
#include "message.h"
#include "mirrow.h"
#include "providersimulator.h"
#include "sessiondialogs.h"
#include "settingswizardpage.h"
#include "startwizardpage.h"
#include "testhome.h"
#include "trialwaitingwizardpage.h"
#include "warningwatch.h"
#include "wizarddialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

// The setup wizard and the login dialog as the user sees them, against the provider
// simulator: both roads of the wizard, the login page's rules, a trial whose e-mail
// confirmation outlasts a restart of the program, and the login dialog's check.

namespace {

// Answers the message boxes that the code under test runs in their own event loops
// with the given button, and notes each one's title and text.
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button)
        : button(button)
    {
        connect(&timer, &QTimer::timeout, this, &BoxAnswerer::poll);
        timer.start(20);
    }

    QStringList seen;

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->button(button))
            return;
        seen.append(box->windowTitle() + u": "_s + box->text());
        box->button(button)->click();
    }

    QTimer timer;
    QMessageBox::StandardButton button;
};

QJsonObject simulatorData(bool trialEnabled, const QString &trialMode = u"account"_s, int checkoutPolls = 2)
{
    QJsonObject data = ProviderSimulator::demoData();
    QJsonObject variables = data.value("variables"_L1).toObject();
    QJsonArray prefs;
    for (const QJsonValue &pref : variables.value("prefs"_L1).toArray()) {
        if (pref.toObject().value("name"_L1).toString() != "trial_enabled"_L1)
            prefs.append(pref);
    }
    prefs.append(QJsonObject { { u"type"_s, u"bool"_s }, { u"name"_s, u"trial_enabled"_s },
        { u"value"_s, trialEnabled ? u"true"_s : u"false"_s } });
    variables.insert("prefs"_L1, prefs);
    data.insert("variables"_L1, variables);
    data.insert("trial"_L1, QJsonObject { { u"mode"_s, trialMode }, { u"checkout_polls"_s, checkoutPolls } });
    return data;
}

QPushButton *visibleButton(QWidget *root, const QString &text)
{
    const QList<QPushButton *> buttons = root->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->isVisible() && button->text() == text)
            return button;
    }
    return nullptr;
}

QString pageName(WizardDialog *wizard)
{
    WizardPage *page = wizard->currentPage();
    return page ? QString::fromLatin1(page->metaObject()->className()) : QString();
}

// The visible alert's text; empty while it is concealed.
QString alertText(QWidget *dialog)
{
    auto *alert = dialog->findChild<AlertWidget *>();
    return alert && alert->isVisible() ? alert->text() : QString();
}

QList<WizardDialog *> openWizards()
{
    QList<WizardDialog *> wizards;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *wizard = qobject_cast<WizardDialog *>(window); wizard && wizard->isVisible())
            wizards.append(wizard);
    }
    return wizards;
}

} // namespace

class TestSignIn : public QObject
{
    Q_OBJECT

public:
    explicit TestSignIn(const TestHome &home)
        : home(home)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void roads_data();
    void roads();
    void closing_data();
    void closing();
    void loginPageRules_data();
    void loginPageRules();
    void startPageWaitsForProvider();
    void pendingTrialSurvivesRestart();
    void restartSignUpForgetsTrial();
    void loginDialog_data();
    void loginDialog();
    void loginDialogLinksNeedUrls();
    void closingLoginDialogCancelsCheck();

private:
    bool start(const QJsonObject &data);
    // A wizard of its own, shown as the core shows it, on the login page.
    WizardDialog *openOnLoginPage();
    QStringList kinds(const QStringList &wanted) const;
    int count(const QString &kind) const { return kinds({ kind }).size(); }

    const TestHome &home;
    std::unique_ptr<ProviderSimulator> simulator;
    std::unique_ptr<Core> core;
};

void TestSignIn::initTestCase()
{
    QVERIFY(home.isValid());
    WarningWatch::install();
    QApplication::setQuitOnLastWindowClosed(false);
    const QString system = home.path() + u"/system"_s;
    QVERIFY(QDir().mkpath(system));
    qputenv("NOXEL_SYSTEM_CONFIG_DIR", QFile::encodeName(system));
}

void TestSignIn::init()
{
    QSettings().clear();
    QSettings().sync();
    WarningWatch::take();
}

void TestSignIn::cleanup()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (qobject_cast<QDialog *>(window))
            delete window;
    }
    core.reset();
    simulator.reset();
    QTest::qWait(50);
    const QStringList warnings = WarningWatch::take();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(u'\n')));
}

bool TestSignIn::start(const QJsonObject &data)
{
    if (!simulator) {
        simulator = std::make_unique<ProviderSimulator>();
        if (!simulator->start(data))
            return false;
        qputenv(Mirrow::AddressesVariable, simulator->address().toUtf8());
    }
    core = std::make_unique<Core>();
    if (!core->initialize())
        return false;
    // The checks read the English texts, whatever the desktop's language.
    core->localeManager()->setLanguage(u"en"_s);
    return true;
}

WizardDialog *TestSignIn::openOnLoginPage()
{
    core->requestVariables();
    auto *wizard = new WizardDialog(core.get());
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    wizard->show();
    if (!QTest::qWaitForWindowExposed(wizard)
        || !QTest::qWaitFor([wizard] { return pageName(wizard) == "LoginWizardPage"_L1; }, 10000))
        return nullptr;
    return wizard;
}

QStringList TestSignIn::kinds(const QStringList &wanted) const
{
    QStringList result;
    const QList<ProviderSimulator::Envelope> all = simulator->envelopes();
    for (const ProviderSimulator::Envelope &envelope : all) {
        if (wanted.contains(envelope.kind))
            result.append(envelope.kind);
    }
    return result;
}

void TestSignIn::roads_data()
{
    QTest::addColumn<QString>("trial"); // the provider's way with trials; empty: the existing account
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("page"); // where the wizard ends
    QTest::addColumn<QString>("alert");

    QTest::newRow("existing account")
        << QString() << u"demo"_s << u"demo-password"_s << u"SettingsWizardPage"_s << QString();
    QTest::newRow("existing account, blanks around it")
        << QString() << u" demo  "_s << u" demo-password "_s << u"SettingsWizardPage"_s << QString();
    QTest::newRow("wrong password") << QString() << u"demo"_s << u"wrong"_s << u"LoginWizardPage"_s
                                    << u"Wrong user name or password"_s;
    QTest::newRow("trial account at once")
        << u"account"_s << QString() << QString() << u"CredentialsWizardPage"_s << QString();
    QTest::newRow("trial refused") << u"refuse"_s << QString() << QString() << u"LoginWizardPage"_s
                                   << u"No trial for this computer"_s;
}

void TestSignIn::roads()
{
    QFETCH(QString, trial);
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, page);
    QFETCH(QString, alert);

    QVERIFY(start(simulatorData(true, trial.isEmpty() ? u"account"_s : trial)));
    QPointer<WizardDialog> wizard = openOnLoginPage();
    QVERIFY(wizard);
    QVERIFY(core->isBusy());
    QSignalSpy finished(wizard.data(), &QDialog::finished);
    if (trial.isEmpty()) {
        QTest::keyClicks(wizard->findChild<QLineEdit *>(u"username"_s), username);
        QTest::keyClicks(wizard->findChild<QLineEdit *>(u"password"_s), password);
    } else {
        wizard->findChild<QRadioButton *>(u"trial"_s)->click();
        QTest::keyClicks(wizard->findChild<QLineEdit *>(u"email"_s), u"me@example.org"_s);
    }
    visibleButton(wizard, u"Next"_s)->click();
    const QString request = trial.isEmpty() ? u"login-check"_s : u"trial"_s;
    QTRY_COMPARE_WITH_TIMEOUT(count(request), 1, 10000);

    Configuration *configuration = core->configuration();
    if (!alert.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(alertText(wizard), alert, 10000);
        QCOMPARE(pageName(wizard), page);
        QVERIFY(wizard->findChild<QLineEdit *>(u"username"_s)->isEnabled() == trial.isEmpty());
        QVERIFY(visibleButton(wizard, u"Next"_s)->isEnabled());
        QVERIFY(!configuration->hasCredentials());
        QVERIFY(!configuration->isWizardCompleted());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(pageName(wizard), page, 10000);
    QVERIFY(configuration->hasCredentials());
    QVERIFY(configuration->saveCredentials());
    if (trial.isEmpty()) {
        // The fields show what the provider accepted: the trimmed values.
        QCOMPARE(configuration->username(), username.trimmed());
        QCOMPARE(configuration->password(), password.trimmed());
        QCOMPARE(wizard->findChild<QLineEdit *>(u"username"_s)->text(), username.trimmed());
    } else {
        QVERIFY(configuration->username().startsWith(u"trial"_s));
        QVERIFY(wizard->findChild<QLabel *>(u"username"_s)->text().contains(configuration->username()));
        QVERIFY(wizard->findChild<QLabel *>(u"password"_s)->text().contains(configuration->password()));
    }
    QVERIFY(!visibleButton(wizard, u"Cancel"_s));
    QVERIFY(!configuration->isWizardCompleted());

    QPushButton *finish = visibleButton(wizard, u"Finish"_s);
    QVERIFY(finish && finish->isEnabled());
    finish->click();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
    QVERIFY(configuration->isWizardCompleted());
    QVERIFY(configuration->trialUid().isEmpty());
    QVERIFY(!core->isBusy());
    QCOMPARE(QSettings().value(u"wizard_completed"_s).toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(count(u"login"_s), 1, 10000);
    const QByteArray login = simulator->envelopes().constLast().xml;
    QVERIFY(login.contains(QByteArray("username=\"" + configuration->username().toUtf8() + '"')));
}

void TestSignIn::closing_data()
{
    QTest::addColumn<bool>("onCompletedPage");
    QTest::addColumn<QMessageBox::StandardButton>("answer"); // to "Cancel"; NoButton: the window is closed
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("completed");

    QTest::newRow("Cancel, then No") << false << QMessageBox::No << false << false;
    QTest::newRow("Cancel, then Yes") << false << QMessageBox::Yes << true << false;
    QTest::newRow("window closed on the login page") << false << QMessageBox::NoButton << true << false;
    QTest::newRow("window closed on the completed page") << true << QMessageBox::NoButton << true << true;
}

void TestSignIn::closing()
{
    QFETCH(bool, onCompletedPage);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, closed);
    QFETCH(bool, completed);

    QVERIFY(start(simulatorData(true)));
    QPointer<WizardDialog> wizard = openOnLoginPage();
    QVERIFY(wizard);
    if (onCompletedPage) {
        QTest::keyClicks(wizard->findChild<QLineEdit *>(u"username"_s), u"demo"_s);
        QTest::keyClicks(wizard->findChild<QLineEdit *>(u"password"_s), u"demo-password"_s);
        QTest::keyClick(wizard->findChild<QLineEdit *>(u"password"_s), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(pageName(wizard), u"SettingsWizardPage"_s, 10000);
    }
    QSignalSpy finished(wizard.data(), &QDialog::finished);
    BoxAnswerer boxes(answer);
    if (answer == QMessageBox::NoButton) {
        wizard->close();
        QVERIFY(boxes.seen.isEmpty());
    } else {
        visibleButton(wizard, u"Cancel"_s)->click();
        QCOMPARE(boxes.seen, QStringList { u"Closing: Do you really want to close the setup wizard?"_s });
    }
    QCOMPARE(finished.size(), closed ? 1 : 0);
    if (closed)
        QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
    QCOMPARE(core->isBusy(), !closed);
    QCOMPARE(core->configuration()->isWizardCompleted(), completed);
    if (completed)
        QTRY_COMPARE_WITH_TIMEOUT(count(u"login"_s), 1, 10000);
}

void TestSignIn::loginPageRules_data()
{
    QTest::addColumn<bool>("trialEnabled");
    QTest::addColumn<bool>("trial"); // the trial is chosen, by a click on its text
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("next"); // enabled
    QTest::addColumn<QString>("returnIn");
    QTest::addColumn<QString>("sent"); // by Return; empty for nothing
    QTest::addColumn<QString>("alert");

    QTest::newRow("existing, username only") << true << false << QString() << u"demo"_s << QString() << false
                                             << u"username"_s << QString() << QString();
    QTest::newRow("existing, password only") << true << false << QString() << QString() << u"demo-password"_s
                                             << false << u"password"_s << QString() << QString();
    QTest::newRow("existing, blanks only") << true << false << QString() << u"  "_s << u" "_s << false
                                           << u"password"_s << QString() << QString();
    QTest::newRow("existing, filled in") << true << false << QString() << u"demo"_s << u"demo-password"_s
                                         << true << u"password"_s << u"login-check"_s << QString();
    QTest::newRow("trial, no email") << true << true << QString() << QString() << QString() << false
                                     << u"email"_s << QString() << u"Please enter a valid email address."_s;
    QTest::newRow("trial, blank email")
        << true << true << u"   "_s << QString() << QString() << false << u"email"_s << QString()
        << u"Please enter a valid email address."_s;
    QTest::newRow("trial, email") << true << true << u"me@example.org"_s << QString() << QString() << true
                                  << u"email"_s << u"trial"_s << QString();
    QTest::newRow("trials off, username only") << false << false << QString() << u"demo"_s << QString()
                                               << false << u"username"_s << QString() << QString();
    QTest::newRow("trials off, filled in") << false << false << QString() << u"demo"_s << u"demo-password"_s
                                           << true << u"password"_s << u"login-check"_s << QString();
}

void TestSignIn::loginPageRules()
{
    QFETCH(bool, trialEnabled);
    QFETCH(bool, trial);
    QFETCH(QString, email);
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(bool, next);
    QFETCH(QString, returnIn);
    QFETCH(QString, sent);
    QFETCH(QString, alert);

    QVERIFY(start(simulatorData(trialEnabled)));
    QPointer<WizardDialog> wizard = openOnLoginPage();
    QVERIFY(wizard);
    auto *trialRadio = wizard->findChild<QRadioButton *>(u"trial"_s);
    auto *existingRadio = wizard->findChild<QRadioButton *>(u"existing"_s);
    auto *emailField = wizard->findChild<QLineEdit *>(u"email"_s);
    auto *usernameField = wizard->findChild<QLineEdit *>(u"username"_s);
    auto *passwordField = wizard->findChild<QLineEdit *>(u"password"_s);
    // Without trials only the login form is there.
    QCOMPARE(trialRadio->isVisible(), trialEnabled);
    QCOMPARE(existingRadio->isVisible(), trialEnabled);
    QCOMPARE(emailField->isVisible(), trialEnabled);
    QVERIFY(usernameField->isVisible() && passwordField->isVisible());
    QVERIFY(existingRadio->isChecked());
    QVERIFY(!visibleButton(wizard, u"Next"_s)->isEnabled());

    if (trial) {
        // Clicking the text beside the radio button chooses it, though the text is
        // greyed out while the other one is chosen.
        auto *text = trialRadio->parentWidget()->findChild<QLabel *>(u"trialText"_s);
        QVERIFY(!text->isEnabled());
        QTest::mouseClick(text, Qt::LeftButton);
        QVERIFY(trialRadio->isChecked());
        QCOMPARE(wizard->focusWidget(), emailField);
    }
    QCOMPARE(emailField->isEnabled(), trial);
    QCOMPARE(usernameField->isEnabled(), !trial);
    QCOMPARE(passwordField->isEnabled(), !trial);
    QTest::keyClicks(emailField, email);
    QTest::keyClicks(usernameField, username);
    QTest::keyClicks(passwordField, password);
    QCOMPARE(visibleButton(wizard, u"Next"_s)->isEnabled(), next);

    // A box here would be the wrong button taking Return.
    BoxAnswerer boxes(QMessageBox::No);
    QTest::keyClick(wizard->findChild<QLineEdit *>(returnIn), Qt::Key_Return);
    QCOMPARE(boxes.seen, QStringList());
    const QStringList requests { u"trial"_s, u"login-check"_s };
    if (sent.isEmpty()) {
        QTest::qWait(1000);
        QCOMPARE(kinds(requests), QStringList());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(kinds(requests), QStringList { sent }, 10000);
        // Return goes to the page and to the default button; one request all the same.
        QTest::qWait(500);
        QCOMPARE(kinds(requests), QStringList { sent });
    }
    QCOMPARE(alertText(wizard), alert);
}

void TestSignIn::startPageWaitsForProvider()
{
    QVERIFY(start(simulatorData(true)));
    auto *wizard = new WizardDialog(core.get());
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    wizard->show();
    QCOMPARE(pageName(wizard), u"StartWizardPage"_s);
    QVERIFY(!visibleButton(wizard, u"Next"_s));
    QVERIFY(visibleButton(wizard, u"Cancel"_s));
    QTest::qWait(9000);
    QCOMPARE(alertText(wizard), QString());
    QTRY_COMPARE_WITH_TIMEOUT(alertText(wizard),
        u"Connection couldn't be established yet.<br />Please check your internet connection and "
        "ensure no firewall is blocking access to the internet."_s,
        3000);
    QCOMPARE(wizard->findChild<AlertWidget *>()->kind(), int(Message::Warning));
    // It goes on waiting, and the first answer moves it on.
    QTest::qWait(500);
    QCOMPARE(pageName(wizard), u"StartWizardPage"_s);
    core->requestVariables();
    QTRY_COMPARE_WITH_TIMEOUT(pageName(wizard), u"LoginWizardPage"_s, 10000);
    QCOMPARE(alertText(wizard), QString());
}

void TestSignIn::pendingTrialSurvivesRestart()
{
    QVERIFY(start(simulatorData(true, u"checkout"_s, 3)));
    QPointer<WizardDialog> wizard = openOnLoginPage();
    QVERIFY(wizard);
    wizard->findChild<QRadioButton *>(u"trial"_s)->click();
    auto *email = wizard->findChild<QLineEdit *>(u"email"_s);
    QTest::keyClicks(email, u"me@example.org"_s);
    QTest::keyClick(email, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(pageName(wizard), u"TrialWaitingWizardPage"_s, 10000);
    QVERIFY(!visibleButton(wizard, u"Next"_s));
    QVERIFY(visibleButton(wizard, u"Restart sign up"_s));
    const QString uid = core->configuration()->trialUid();
    QVERIFY(!uid.isEmpty());
    // The page asks at once; the provider is still waiting for the confirmation.
    QTRY_COMPARE_WITH_TIMEOUT(count(u"checkout-status"_s), 1, 10000);
    QTest::qWait(300);

    // The user quits: the next start finds the pending trial and resumes it.
    delete wizard;
    core.reset();
    QCOMPARE(QSettings().value(u"trial_uid"_s).toString(), uid);
    QVERIFY(start(QJsonObject()));
    QWidget window;
    SessionDialogs dialogs(core.get(), &window);
    core->setSessionFeedback(&dialogs);
    core->checkWizard();
    QCOMPARE(openWizards().size(), 1);
    wizard = openWizards().constFirst();
    QCOMPARE(pageName(wizard), u"StartWizardPage"_s);
    core->requestVariables();
    QTRY_COMPARE_WITH_TIMEOUT(pageName(wizard), u"TrialWaitingWizardPage"_s, 10000);
    QVERIFY(!wizard->findChild<LoginWizardPage *>());

    // It asks on arrival and then every ten seconds, until the account is ready.
    QTRY_COMPARE_WITH_TIMEOUT(count(u"checkout-status"_s), 2, 10000);
    QElapsedTimer interval;
    interval.start();
    QTRY_COMPARE_WITH_TIMEOUT(count(u"checkout-status"_s), 3, 15000);
    QVERIFY2(interval.elapsed() >= 9000, qPrintable(QString::number(interval.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(pageName(wizard), u"CredentialsWizardPage"_s, 10000);
    Configuration *configuration = core->configuration();
    QVERIFY(configuration->username().startsWith(u"trial"_s));
    QVERIFY(wizard->findChild<QLabel *>(u"username"_s)->text().contains(configuration->username()));

    QSignalSpy finished(wizard.data(), &QDialog::finished);
    visibleButton(wizard, u"Finish"_s)->click();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
    QVERIFY(configuration->isWizardCompleted());
    QCOMPARE(QSettings().value(u"trial_uid"_s), QVariant());
    QTRY_COMPARE_WITH_TIMEOUT(count(u"login"_s), 1, 10000);
    core->setSessionFeedback(nullptr);
}

void TestSignIn::restartSignUpForgetsTrial()
{
    QSettings().setValue(u"trial_uid"_s, u"checkout-from-before"_s);
    QVERIFY(start(simulatorData(true, u"checkout"_s)));
    core->requestVariables();
    auto *wizard = new WizardDialog(core.get());
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    wizard->show();
    QTRY_COMPARE_WITH_TIMEOUT(pageName(wizard), u"TrialWaitingWizardPage"_s, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(count(u"checkout-status"_s), 1, 10000);
    QTest::qWait(300);

    visibleButton(wizard, u"Restart sign up"_s)->click();
    QCOMPARE(pageName(wizard), u"LoginWizardPage"_s);
    QVERIFY(core->configuration()->trialUid().isEmpty());
    QCOMPARE(QSettings().value(u"trial_uid"_s), QVariant());
    // Nothing is asked about the forgotten trial any more.
    QTest::qWait(11000);
    QCOMPARE(count(u"checkout-status"_s), 1);
    QCOMPARE(pageName(wizard), u"LoginWizardPage"_s);
}

void TestSignIn::loginDialog_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("remember");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("alert");
    QTest::addColumn<QStringList>("boxes");

    const QString unreachable
        = u"Couldn't connect to server.\nPlease make sure your internet connection is working."_s;
    QTest::newRow("accepted, remembered")
        << QString() << u"demo-password"_s << true << true << QString() << QStringList();
    QTest::newRow("accepted, not remembered")
        << QString() << u"demo-password"_s << false << true << QString() << QStringList();
    QTest::newRow("wrong password") << QString() << u"wrong"_s << true << false
                                    << u"Wrong user name or password"_s << QStringList();
    QTest::newRow("answer unreadable") << u"garbage"_s << u"demo-password"_s << true << false << unreachable
                                       << QStringList { u"Couldn't connect: "_s + unreachable };
}

void TestSignIn::loginDialog()
{
    QFETCH(QString, fault);
    QFETCH(QString, password);
    QFETCH(bool, remember);
    QFETCH(bool, accepted);
    QFETCH(QString, alert);
    QFETCH(QStringList, boxes);

    QVERIFY(start(simulatorData(false)));
    simulator->setFault(fault);
    auto *dialog = new LoginDialog(core.get(), nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QSignalSpy finished(dialog, &QDialog::finished);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QVERIFY(core->isBusy());
    QCOMPARE(dialog->windowTitle(), u"Noxel %1 Login"_s.arg(QCoreApplication::applicationVersion()));
    QPushButton *ok = visibleButton(dialog, u"OK"_s);
    auto *remembered = dialog->findChild<QCheckBox *>();
    QVERIFY(!remembered->isChecked());
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(dialog->findChild<QLineEdit *>(u"username"_s), u"demo"_s);
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(dialog->findChild<QLineEdit *>(u"password"_s), password);
    QVERIFY(ok->isEnabled());
    if (remember)
        remembered->click();

    BoxAnswerer answerer(QMessageBox::Close);
    ok->click();
    QVERIFY(!ok->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(count(u"login-check"_s), 1, 10000);
    if (accepted) {
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
        QVERIFY(!core->isBusy());
        Configuration *configuration = core->configuration();
        QCOMPARE(configuration->username(), u"demo"_s);
        QCOMPARE(configuration->password(), password);
        QCOMPARE(configuration->saveCredentials(), remember);
        // Only remembered credentials reach the disk, the password perhaps the desktop's
        // secret store; the wizard is the core's to complete.
        QCOMPARE(QSettings().contains(u"username"_s), remember);
        if (!remember)
            QVERIFY(!QSettings().contains(u"password"_s));
        QVERIFY(!configuration->isWizardCompleted());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(alertText(dialog), alert, 10000);
        QTRY_COMPARE(answerer.seen, boxes);
        QVERIFY(ok->isEnabled());
        QCOMPARE(finished.size(), 0);
        QVERIFY(!core->configuration()->hasCredentials());
    }
}

void TestSignIn::loginDialogLinksNeedUrls()
{
    QVERIFY(start(simulatorData(false)));
    LoginDialog dialog(core.get(), nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const auto link = [&dialog](const QString &anchor) {
        const QList<QLabel *> labels = dialog.findChildren<QLabel *>();
        for (QLabel *label : labels) {
            if (label->text().contains(anchor))
                return label;
        }
        return static_cast<QLabel *>(nullptr);
    };
    QVERIFY(!link(u"#lostpassword"_s)->isVisible());
    QVERIFY(!link(u"#signup"_s)->isVisible());
    core->requestVariables();
    QTRY_VERIFY_WITH_TIMEOUT(link(u"#lostpassword"_s)->isVisible(), 10000);
    QVERIFY(link(u"#signup"_s)->isVisible());
    dialog.reject();
}

void TestSignIn::closingLoginDialogCancelsCheck()
{
    QVERIFY(start(simulatorData(false)));
    simulator->setFault(u"delay:1500"_s);
    auto *dialog = new LoginDialog(core.get(), nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    dialog->submit(u"demo"_s, u"demo-password"_s);
    QTRY_COMPARE_WITH_TIMEOUT(count(u"login-check"_s), 1, 10000);
    dialog->close();
    QVERIFY(!core->isBusy());
    QTest::qWait(2500);
    QVERIFY(!core->configuration()->hasCredentials());
    // The transport goes on with the next request.
    simulator->setFault(QString());
    core->requestVariables();
    QTRY_COMPARE_WITH_TIMEOUT(count(u"variables"_s), 1, 10000);
}

NOXEL_APP_TEST_MAIN(TestSignIn)

#include "tst_signin.moc"
