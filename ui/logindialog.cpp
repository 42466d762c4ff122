#include "logindialog.h"

#include "alertwidget.h"
#include "animationwidget.h"
#include "animationwidgetwrapper.h"
#include "configuration.h"
#include "context.h"
#include "core.h"
#include "hidpi.h"
#include "logincheckrequest.h"
#include "message.h"
#include "networkmanager.h"
#include "platformmanager.h"
#include "wizarddialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

class LoginDialogPrivate
{
public:
    void openLink(const QString &name) const
    {
        const QString url = core->context()->link(name);
        if (!url.isEmpty())
            PlatformManager::openUrl(QUrl(url));
    }

    Core *core = nullptr;
    QLabel *usernameLabel = nullptr;
    QLineEdit *username = nullptr;
    QLabel *passwordLabel = nullptr;
    QLineEdit *password = nullptr;
    QCheckBox *remember = nullptr;
    QLabel *passwordHint = nullptr;
    QLabel *signupHint = nullptr;
    AlertWidget *alert = nullptr;
    AnimationWidgetWrapper *animation = nullptr;
    QDialogButtonBox *buttons = nullptr;
    LoginCheckRequest *request = nullptr; // the running check
};

LoginDialog::LoginDialog(Core *core, QWidget *parent)
    : QDialog(parent)
    , d(new LoginDialogPrivate)
{
    d->core = core;
    core->setBusy(true);

    auto *head = new QWidget(this);
    head->setAttribute(Qt::WA_StyledBackground);
    head->setStyleSheet(
        QStringLiteral(".QWidget { background-color: #ffffff; border-bottom: %1px solid #cccccc; }")
            .arg(mHiDpiSize(1)));
    auto *logo = new QLabel(head);
    logo->setPixmap(WizardDialog::logo());
    auto *headLayout = new QHBoxLayout(head);
    headLayout->addWidget(logo);
    headLayout->addStretch(1);

    auto *picture = new QLabel(this);
    QPixmap pixmap(QStringLiteral(":/images/app/64_app.png"));
    if (!pixmap.isNull())
        me_adapt_pixmap(pixmap, mHiDpiFactor(), 64, 64);
    picture->setPixmap(pixmap);
    picture->setAlignment(Qt::AlignTop);

    d->usernameLabel = new QLabel(this);
    d->username = new QLineEdit(this);
    d->username->setObjectName(QStringLiteral("username"));
    d->passwordLabel = new QLabel(this);
    d->password = new QLineEdit(this);
    d->password->setObjectName(QStringLiteral("password"));
    d->password->setEchoMode(QLineEdit::Password);
    d->password->setMinimumWidth(mHiDpiSize(150));
    d->remember = new QCheckBox(this);
    d->passwordHint = new QLabel(this);
    d->signupHint = new QLabel(this);
    d->alert = new AlertWidget(core, Message::Error, this);
    d->alert->setVisible(false);
    d->animation = WizardDialog::createActivityIndicator(this);
    d->animation->setVisible(false);
    d->buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    connect(d->username, &QLineEdit::textChanged, this, &LoginDialog::loginChanged);
    connect(d->password, &QLineEdit::textChanged, this, &LoginDialog::loginChanged);
    connect(d->passwordHint, &QLabel::linkActivated, this, &LoginDialog::passwordHintClicked);
    connect(d->signupHint, &QLabel::linkActivated, this, &LoginDialog::signupHintClicked);
    connect(d->buttons, &QDialogButtonBox::accepted, this, &LoginDialog::checkLogin);
    connect(d->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(core, &Core::variablesUpdated, this, &LoginDialog::variablesUpdated);

    auto *form = new QGridLayout;
    form->addWidget(d->usernameLabel, 0, 0);
    form->addWidget(d->username, 0, 1);
    form->addWidget(d->passwordLabel, 1, 0);
    form->addWidget(d->password, 1, 1);
    form->addWidget(d->remember, 2, 1);
    form->addWidget(d->passwordHint, 3, 1);
    form->addWidget(d->signupHint, 4, 1);
    auto *middle = new QHBoxLayout;
    middle->addWidget(picture);
    middle->addSpacing(mHiDpiSize(10));
    middle->addLayout(form, 1);

    const int margin = mHiDpiSize(10);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(margin, margin, margin, margin);
    body->setSpacing(margin);
    body->addLayout(middle);
    body->addWidget(d->alert);
    body->addWidget(d->animation, 0, Qt::AlignHCenter);
    body->addWidget(d->buttons);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(head);
    layout->addLayout(body, 1);

    retranslate();
    variablesUpdated();
    loginChanged();
}

LoginDialog::~LoginDialog()
{
    if (d->request && d->core->networkManager()->cancelRequest(d->request))
        delete d->request;
}

void LoginDialog::submit(const QString &username, const QString &password)
{
    d->username->setText(username);
    d->password->setText(password);
    checkLogin();
}

void LoginDialog::done(int result)
{
    if (LoginCheckRequest *request = std::exchange(d->request, nullptr)) {
        // A request already sent is deleted by the transport once its answer comes,
        // or by loginCheckRequestFinished() when that answer is on its way already.
        if (d->core->networkManager()->cancelRequest(request))
            delete request;
        d->animation->animation()->stop();
        d->animation->setVisible(false);
        loginChanged();
    }
    d->core->setBusy(false);
    QDialog::done(result);
}

void LoginDialog::passwordHintClicked(const QString &)
{
    d->openLink(QStringLiteral("lost_password"));
}

void LoginDialog::signupHintClicked(const QString &)
{
    d->openLink(QStringLiteral("signup"));
}

void LoginDialog::variablesUpdated()
{
    Context *context = d->core->context();
    d->passwordHint->setVisible(!context->link(QStringLiteral("lost_password")).isEmpty());
    d->signupHint->setVisible(!context->link(QStringLiteral("signup")).isEmpty());
}

void LoginDialog::loginChanged()
{
    const bool filled = !d->username->text().trimmed().isEmpty() && !d->password->text().trimmed().isEmpty();
    d->buttons->button(QDialogButtonBox::Ok)->setEnabled(filled && !d->request);
}

void LoginDialog::checkLogin()
{
    const QString username = d->username->text().trimmed();
    const QString password = d->password->text().trimmed();
    if (d->request || username.isEmpty() || password.isEmpty())
        return;
    d->animation->setVisible(true);
    d->animation->animation()->start();
    d->alert->setVisible(false);
    d->request = new LoginCheckRequest;
    d->request->setCredentials(username, password);
    connect(d->request, &Request::requestFinished, this, &LoginDialog::loginCheckRequestFinished);
    loginChanged();
    d->core->networkManager()->addRequest(d->request);
}

void LoginDialog::loginCheckRequestFinished()
{
    auto *request = qobject_cast<LoginCheckRequest *>(sender());
    request->deleteLater();
    // Answered just as the dialog closed and withdrew it.
    if (request != d->request)
        return;
    d->request = nullptr;
    d->animation->animation()->stop();
    d->animation->setVisible(false);
    loginChanged();

    if (request->isFailed()) {
        const QString message
            = tr("Couldn't connect to server.\nPlease make sure your internet connection is working.");
        d->alert->setText(message);
        d->alert->setVisible(true);
        QMessageBox::critical(this, tr("Couldn't connect"), message, QMessageBox::Close);
        return;
    }
    if (!request->isAuthenticated()) {
        QString message = request->errorMessage();
        if (message.isEmpty())
            message = request->errorString();
        if (message.isEmpty())
            message = tr("Incorrect username or password");
        d->alert->setText(message);
        d->alert->setVisible(true);
        return;
    }
    d->alert->setVisible(false);
    Configuration *configuration = d->core->configuration();
    configuration->beginUpdate();
    configuration->setSaveCredentials(d->remember->isChecked());
    configuration->setCredentials(request->username(), request->password());
    configuration->endUpdate();
    accept();
}

void LoginDialog::retranslate()
{
    setWindowTitle(
        tr("%1 %2 Login").arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion()));
    d->usernameLabel->setText(tr("Username:"));
    d->passwordLabel->setText(tr("Password:"));
    d->remember->setText(tr("Remember credentials"));
    d->passwordHint->setText(
        QStringLiteral("<a href=\"#lostpassword\">%1</a>").arg(tr("Lost your password?")));
    d->signupHint->setText(
        QStringLiteral("<a href=\"#signup\">%1</a>").arg(tr("Don't have an account yet? Sign up here!")));
    d->animation->setText(tr("Please wait. Checking username and password ..."));
}

void LoginDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}
