#include "logindialog.h"

#include "configuration.h"
#include "context.h"
#include "core.h"
#include "logincheckrequest.h"
#include "networkmanager.h"
#include "platformmanager.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

class LoginDialogPrivate
{
public:
    Core *core = nullptr;
    QLabel *intro = nullptr;
    QLabel *usernameLabel = nullptr;
    QLabel *passwordLabel = nullptr;
    QLineEdit *username = nullptr;
    QLineEdit *password = nullptr;
    QCheckBox *remember = nullptr;
    QLabel *error = nullptr;
    QLabel *links = nullptr;
    QDialogButtonBox *buttons = nullptr;
    LoginCheckRequest *request = nullptr;
};

LoginDialog::LoginDialog(Core *core, QWidget *parent)
    : QDialog(parent)
    , d(new LoginDialogPrivate)
{
    d->core = core;
    core->setBusy(true);
    d->intro = new QLabel(this);
    d->intro->setWordWrap(true);
    d->username = new QLineEdit(core->configuration()->username(), this);
    d->password = new QLineEdit(this);
    d->password->setEchoMode(QLineEdit::Password);
    d->remember = new QCheckBox(this);
    d->remember->setChecked(core->configuration()->saveCredentials());
    d->error = new QLabel(this);
    d->error->setWordWrap(true);
    d->error->setStyleSheet(QStringLiteral("color: #a94442"));
    d->error->hide();
    d->links = new QLabel(this);
    d->links->setTextFormat(Qt::RichText);
    connect(d->links, &QLabel::linkActivated, this, [this](const QString &name) {
        const QString url = d->core->context()->link(name);
        if (!url.isEmpty())
            PlatformManager::openUrl(QUrl(url));
    });
    d->buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(d->buttons, &QDialogButtonBox::accepted, this, &LoginDialog::checkCredentials);
    connect(d->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, [this] { d->core->setBusy(false); });

    d->usernameLabel = new QLabel(this);
    d->passwordLabel = new QLabel(this);
    auto *form = new QFormLayout;
    form->addRow(d->usernameLabel, d->username);
    form->addRow(d->passwordLabel, d->password);
    form->addRow(QString(), d->remember);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->intro);
    layout->addLayout(form);
    layout->addWidget(d->error);
    layout->addWidget(d->links);
    layout->addWidget(d->buttons);
    retranslate();
}

LoginDialog::~LoginDialog()
{
    if (d->request && d->core->networkManager()->cancelRequest(d->request))
        delete d->request;
}

void LoginDialog::retranslate()
{
    setWindowTitle(tr("Log in"));
    d->intro->setText(tr("Log in with your Noxel account."));
    d->usernameLabel->setText(tr("User name:"));
    d->passwordLabel->setText(tr("Password:"));
    d->remember->setText(tr("Remember my password"));
    d->links->setText(QStringLiteral("<a href=\"signup\">%1</a> &nbsp; <a href=\"lost_password\">%2</a>")
                          .arg(tr("Create an account"), tr("Forgot your password?")));
    d->buttons->button(QDialogButtonBox::Ok)->setText(tr("Log in"));
}

void LoginDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

void LoginDialog::submit(const QString &username, const QString &password)
{
    d->username->setText(username);
    d->password->setText(password);
    checkCredentials();
}

void LoginDialog::checkCredentials()
{
    if (d->request)
        return;
    const QString username = d->username->text().trimmed();
    if (username.isEmpty() || d->password->text().isEmpty()) {
        d->error->setText(tr("Please enter your user name and password."));
        d->error->show();
        return;
    }
    d->error->hide();
    d->buttons->setEnabled(false);
    d->request = new LoginCheckRequest;
    d->request->setCredentials(username, d->password->text());
    connect(d->request, &Request::requestFinished, this, &LoginDialog::checkFinished);
    d->core->networkManager()->addRequest(d->request);
}

void LoginDialog::checkFinished()
{
    LoginCheckRequest *request = std::exchange(d->request, nullptr);
    request->deleteLater();
    d->buttons->setEnabled(true);
    if (request->isFailed()) {
        d->error->setText(tr("The server could not be reached. Please check your internet connection and try again."));
        d->error->show();
        return;
    }
    if (!request->isAuthenticated()) {
        QString message = request->errorMessage();
        if (message.isEmpty())
            message = request->errorString();
        if (message.isEmpty())
            message = tr("The user name or password is wrong.");
        d->error->setText(message);
        d->error->show();
        return;
    }
    Configuration *configuration = d->core->configuration();
    configuration->beginUpdate();
    configuration->setSaveCredentials(d->remember->isChecked());
    configuration->setCredentials(d->username->text().trimmed(), d->password->text());
    configuration->setWizardCompleted(true);
    configuration->endUpdate();
    accept();
}
