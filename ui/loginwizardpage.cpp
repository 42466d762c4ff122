#include "loginwizardpage.h"

#include "configuration.h"
#include "context.h"
#include "core.h"
#include "hidpi.h"
#include "logincheckrequest.h"
#include "message.h"
#include "networkmanager.h"
#include "platformmanager.h"
#include "servervariables.h"
#include "trialrequest.h"
#include "wizarddialog.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QUrl>

#include <utility>

class LoginWizardPagePrivate
{
public:
    // Trial mode: the provider offers trials and the user has not chosen the
    // existing account.
    bool isTrialMode() const { return trialEnabled && !existingRadio->isChecked(); }
    bool isLoginFilled() const
    {
        return !username->text().trimmed().isEmpty() && !password->text().trimmed().isEmpty();
    }
    bool isInputValid() const
    {
        if (isTrialMode())
            return trialRadio->isChecked() && !email->text().trimmed().isEmpty();
        return isLoginFilled();
    }

    void openLink(const QString &name) const
    {
        const QString url = core->context()->link(name);
        if (!url.isEmpty())
            PlatformManager::openUrl(QUrl(url));
    }

    Core *core = nullptr;
    bool trialEnabled = true;
    QRadioButton *trialRadio = nullptr;
    QLabel *trialText = nullptr;
    QLabel *emailLabel = nullptr;
    QLineEdit *email = nullptr;
    QLabel *emailInfo = nullptr;
    QRadioButton *existingRadio = nullptr;
    QLabel *existingText = nullptr;
    QLabel *usernameLabel = nullptr;
    QLineEdit *username = nullptr;
    QLabel *passwordLabel = nullptr;
    QLineEdit *password = nullptr;
    QLabel *lostPasswordLink = nullptr;
    QLabel *signupLink = nullptr;
    QWidgetList trialChoice; // only there while the provider offers trials
    QWidgetList trialInput; // usable in trial mode
    QWidgetList loginInput; // usable for an existing account
    bool changingTexts = false; // the page itself fills in the fields
    TrialRequest *trialRequest = nullptr;
    LoginCheckRequest *loginRequest = nullptr;
};

LoginWizardPage::LoginWizardPage(WizardDialog *wizard)
    : WizardPage(wizard)
    , d(new LoginWizardPagePrivate)
{
    d->core = core();
    d->trialRadio = new QRadioButton(this);
    d->trialRadio->setObjectName(QStringLiteral("trial"));
    d->trialText = new QLabel(this);
    d->trialText->setObjectName(QStringLiteral("trialText"));
    d->trialText->setWordWrap(true);
    d->emailLabel = new QLabel(this);
    d->email = new QLineEdit(this);
    d->email->setObjectName(QStringLiteral("email"));
    d->emailInfo = new QLabel(this);
    d->emailInfo->setWordWrap(true);
    d->existingRadio = new QRadioButton(this);
    d->existingRadio->setObjectName(QStringLiteral("existing"));
    d->existingRadio->setChecked(true);
    d->existingText = new QLabel(this);
    d->existingText->setObjectName(QStringLiteral("existingText"));
    d->existingText->setWordWrap(true);
    d->usernameLabel = new QLabel(this);
    d->username = new QLineEdit(this);
    d->username->setObjectName(QStringLiteral("username"));
    d->passwordLabel = new QLabel(this);
    d->password = new QLineEdit(this);
    d->password->setObjectName(QStringLiteral("password"));
    d->password->setEchoMode(QLineEdit::Password);
    d->lostPasswordLink = new QLabel(this);
    d->signupLink = new QLabel(this);

    d->trialChoice = { d->trialRadio, d->trialText, d->emailLabel, d->email, d->emailInfo, d->existingRadio,
        d->existingText };
    d->trialInput = { d->trialText, d->emailLabel, d->email, d->emailInfo };
    d->loginInput = { d->existingText, d->usernameLabel, d->username, d->passwordLabel, d->password };

    auto *radios = new QButtonGroup(this);
    radios->addButton(d->trialRadio);
    radios->addButton(d->existingRadio);
    // The texts beside the radio buttons are labels of their own, so that they can
    // wrap; a click on one chooses its radio button as a click on the button does.
    d->trialText->installEventFilter(this);
    d->existingText->installEventFilter(this);

    connect(d->trialRadio, &QRadioButton::toggled, this, &LoginWizardPage::updateState);
    connect(d->existingRadio, &QRadioButton::toggled, this, &LoginWizardPage::updateState);
    for (QLineEdit *field : { d->email, d->username, d->password }) {
        connect(field, &QLineEdit::textChanged, this, &LoginWizardPage::textChanged);
        connect(field, &QLineEdit::returnPressed, this, &LoginWizardPage::moveToNextPage);
    }
    connect(d->lostPasswordLink, &QLabel::linkActivated, this, &LoginWizardPage::lostPassword);
    connect(d->signupLink, &QLabel::linkActivated, this, &LoginWizardPage::signup);
    connect(d->core, &Core::variablesUpdated, this, &LoginWizardPage::variablesUpdated);

    const int indent = mHiDpiSize(20);
    auto *layout = new QGridLayout(this);
    layout->setColumnMinimumWidth(0, indent);
    layout->setColumnStretch(2, 1);
    layout->addWidget(d->trialRadio, 0, 0);
    layout->addWidget(d->trialText, 0, 1, 1, 2);
    layout->addWidget(d->emailLabel, 1, 1);
    layout->addWidget(d->email, 1, 2);
    layout->addWidget(d->emailInfo, 2, 2);
    layout->setRowMinimumHeight(3, mHiDpiSize(10));
    layout->addWidget(d->existingRadio, 4, 0);
    layout->addWidget(d->existingText, 4, 1, 1, 2);
    layout->addWidget(d->usernameLabel, 5, 1);
    layout->addWidget(d->username, 5, 2);
    layout->addWidget(d->passwordLabel, 6, 1);
    layout->addWidget(d->password, 6, 2);
    layout->setRowStretch(7, 1);
    auto *links = new QHBoxLayout;
    links->addWidget(d->lostPasswordLink);
    links->addStretch(1);
    links->addWidget(d->signupLink);
    layout->addLayout(links, 8, 0, 1, 3);

    variablesUpdated();
}

LoginWizardPage::~LoginWizardPage()
{
    NetworkManager *network = d->core->networkManager();
    if (d->trialRequest && network->cancelRequest(d->trialRequest))
        delete d->trialRequest;
    if (d->loginRequest && network->cancelRequest(d->loginRequest))
        delete d->loginRequest;
}

void LoginWizardPage::initializePage()
{
    updateState();
}

bool LoginWizardPage::validatePage()
{
    if (d->isTrialMode()) {
        if (!d->trialRadio->isChecked())
            return false;
        const QString email = d->email->text().trimmed();
        if (email.isEmpty()) {
            wizard()->showAlert(tr("Please enter a valid email address."), Message::Error);
            return false;
        }
        if (d->trialRequest)
            return false;
        d->trialRequest = new TrialRequest(d->core->configuration()->uuid());
        d->trialRequest->setEmail(email);
        connect(d->trialRequest, &Request::requestFinished, this, &LoginWizardPage::trialRequestFinished);
        wizard()->setBusy(true);
        wizard()->setBackEnabled(false);
        wizard()->setNextEnabled(false);
        d->core->networkManager()->addRequest(d->trialRequest);
        return false;
    }
    if (d->loginRequest)
        return false;
    d->loginRequest = new LoginCheckRequest;
    d->loginRequest->setCredentials(d->username->text().trimmed(), d->password->text().trimmed());
    connect(d->loginRequest, &Request::requestFinished, this, &LoginWizardPage::loginRequestFinished);
    wizard()->setBusy(true);
    d->core->networkManager()->addRequest(d->loginRequest);
    return false;
}

void LoginWizardPage::moveToNextPage()
{
    if (d->isLoginFilled() || (d->isTrialMode() && d->trialRadio->isChecked()))
        wizard()->moveToNextPage();
}

void LoginWizardPage::variablesUpdated()
{
    Context *context = d->core->context();
    d->trialEnabled = context->boolVariable(VAR_TRIAL_ENABLED, true);
    for (QWidget *widget : std::as_const(d->trialChoice))
        widget->setVisible(d->trialEnabled);
    d->lostPasswordLink->setVisible(!context->link(QStringLiteral("lost_password")).isEmpty());
    d->signupLink->setVisible(!context->link(QStringLiteral("signup")).isEmpty());
    retranslate();
    if (isVisible())
        updateState();
}

void LoginWizardPage::lostPassword()
{
    d->openLink(QStringLiteral("lost_password"));
}

void LoginWizardPage::signup()
{
    d->openLink(QStringLiteral("signup"));
}

void LoginWizardPage::textChanged()
{
    if (d->changingTexts)
        return;
    wizard()->setNextEnabled(d->isInputValid());
    wizard()->concealAlert();
}

void LoginWizardPage::updateState()
{
    const bool trialMode = d->isTrialMode();
    for (QWidget *widget : std::as_const(d->trialInput))
        widget->setEnabled(trialMode);
    const bool existing = !d->trialEnabled || d->existingRadio->isChecked();
    for (QWidget *widget : std::as_const(d->loginInput))
        widget->setEnabled(existing);

    if (trialMode && d->trialRadio->isChecked())
        d->email->setFocus();
    else if (d->username->text().isEmpty())
        d->username->setFocus();
    else if (d->password->text().isEmpty())
        d->password->setFocus();

    wizard()->setNextEnabled(d->isInputValid());
    wizard()->concealAlert();
}

void LoginWizardPage::trialRequestFinished()
{
    TrialRequest *request = std::exchange(d->trialRequest, nullptr);
    request->deleteLater();
    wizard()->setBusy(false);
    wizard()->setBackEnabled(true);
    wizard()->setNextEnabled(true);
    if (request->isFailed()) {
        wizard()->showAlert(
            tr("Couldn't connect to server.\nPlease make sure your internet connection is working."),
            Message::Error);
    } else if (request->isCheckout()) {
        d->core->configuration()->setTrialUid(request->checkoutUid());
        wizard()->setTrialWaitingPage();
    } else if (!request->errorMessage().isEmpty()) {
        wizard()->showAlert(request->errorMessage(), Message::Error);
    } else if (request->hasCredentials()) {
        wizard()->setLogin(request->username(), request->password(), true);
    }
}

void LoginWizardPage::loginRequestFinished()
{
    LoginCheckRequest *request = std::exchange(d->loginRequest, nullptr);
    request->deleteLater();
    wizard()->setBusy(false);
    if (request->isFailed()) {
        QMessageBox::critical(this, tr("Couldn't connect"),
            tr("Couldn't connect to server.\nPlease make sure your internet connection is working."),
            QMessageBox::Close);
        return;
    }
    if (!request->isAuthenticated()) {
        QString message = request->errorMessage();
        if (message.isEmpty())
            message = request->errorString();
        if (message.isEmpty())
            message = tr("Incorrect username or password");
        wizard()->showAlert(message, Message::Error);
        return;
    }
    const QString username = request->username();
    const QString password = request->password();
    d->changingTexts = true;
    if (d->username->text() != username)
        d->username->setText(username);
    if (d->password->text() != password)
        d->password->setText(password);
    d->changingTexts = false;
    wizard()->setLogin(username, password, false);
}

void LoginWizardPage::retranslate()
{
    const QString application = QCoreApplication::applicationName();
    d->trialText->setText(QStringLiteral("<b>%1</b>")
                              .arg(serverText(QStringLiteral("wizard.login.trial.text"),
                                  tr("I want to try %1 for free.").arg(application))));
    d->emailLabel->setText(tr("Your email:"));
    d->emailInfo->setText(QStringLiteral("<small>%1</small>")
                              .arg(serverText(QStringLiteral("wizard.login.email.info"),
                                  tr("We only use this address for your account."))));
    d->existingText->setText(QStringLiteral("<b>%1</b>")
                                 .arg(serverText(QStringLiteral("wizard.login.existing.text"),
                                     tr("I already have a %1 account.").arg(application))));
    d->usernameLabel->setText(tr("Username:"));
    d->passwordLabel->setText(tr("Password:"));
    d->lostPasswordLink->setText(
        QStringLiteral("<a href='#lost-password'>%1</a>").arg(tr("Lost your password?")));
    d->signupLink->setText(QStringLiteral("<a href='#signup'>%1</a>")
                               .arg(serverText(QStringLiteral("wizard.login.signup.text"),
                                   tr("Don't have an account yet? Sign up here!"))));
}

void LoginWizardPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    WizardPage::changeEvent(event);
}

bool LoginWizardPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == d->trialText)
            d->trialRadio->click();
        else if (watched == d->existingText)
            d->existingRadio->click();
    }
    return WizardPage::eventFilter(watched, event);
}

void LoginWizardPage::showEvent(QShowEvent *event)
{
    WizardPage::showEvent(event);
    updateState();
}
