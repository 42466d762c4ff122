#include "credentialswizardpage.h"

#include "core.h"
#include "credentialshelper.h"
#include "hidpi.h"
#include "styledbutton.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QString large(const QString &text)
{
    return QStringLiteral("<font size=\"+2\">%1</font>").arg(text.toHtmlEscaped());
}

} // namespace

class CredentialsWizardPagePrivate
{
public:
    CredentialsHelper *helper = nullptr;
    QString username;
    QString password;
    QGroupBox *box = nullptr;
    QLabel *usernameLabel = nullptr;
    QLabel *usernameValue = nullptr;
    QLabel *passwordLabel = nullptr;
    QLabel *passwordValue = nullptr;
    StyledButton *saveButton = nullptr;
    StyledButton *printButton = nullptr;
};

CredentialsWizardPage::CredentialsWizardPage(WizardDialog *wizard)
    : WizardPage(wizard)
    , d(new CredentialsWizardPagePrivate)
{
    d->helper = new CredentialsHelper(core()->context(), this);
    d->box = new QGroupBox(this);
    d->box->setStyleSheet(
        QStringLiteral(" QGroupBox {        background-color: #ffffff;        border: %1px solid gray; "
                       "       border-radius: %2px;        padding: %3px;        margin-top: %4ex;    "
                       "}    QGroupBox::title {        subcontrol-origin: margin;        "
                       "subcontrol-position: top center;        padding: %5px;        "
                       "background-color: #DFF0D8;    }")
            .arg(mHiDpiSize(1))
            .arg(mHiDpiSize(5))
            .arg(mHiDpiSize(10))
            .arg(mHiDpiSize(3))
            .arg(mHiDpiSize(5)));
    d->usernameLabel = new QLabel(d->box);
    d->usernameValue = new QLabel(d->box);
    d->usernameValue->setObjectName(QStringLiteral("username"));
    d->usernameValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    d->passwordLabel = new QLabel(d->box);
    d->passwordValue = new QLabel(d->box);
    d->passwordValue->setObjectName(QStringLiteral("password"));
    d->passwordValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *grid = new QGridLayout(d->box);
    grid->addWidget(d->usernameLabel, 0, 0, Qt::AlignRight);
    grid->addWidget(d->usernameValue, 0, 1);
    grid->addWidget(d->passwordLabel, 1, 0, Qt::AlignRight);
    grid->addWidget(d->passwordValue, 1, 1);
    grid->setColumnStretch(1, 1);

    d->saveButton = new StyledButton(this);
    d->printButton = new StyledButton(this);
    connect(d->saveButton, &QPushButton::clicked, this, &CredentialsWizardPage::save);
    connect(d->printButton, &QPushButton::clicked, this, &CredentialsWizardPage::print);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(d->saveButton);
    buttons->addWidget(d->printButton);
    buttons->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->box);
    layout->addLayout(buttons);
    layout->addStretch(1);
    retranslate();
}

CredentialsWizardPage::~CredentialsWizardPage() = default;

void CredentialsWizardPage::setCredentials(const QString &username, const QString &password)
{
    d->username = username;
    d->password = password;
    d->usernameValue->setText(large(username));
    d->passwordValue->setText(large(password));
}

void CredentialsWizardPage::save()
{
    d->helper->save(d->username, d->password);
}

void CredentialsWizardPage::print()
{
    d->helper->print(d->username, d->password);
}

void CredentialsWizardPage::retranslate()
{
    d->box->setTitle(tr("Login Credentials"));
    d->usernameLabel->setText(large(tr("Username:")));
    d->passwordLabel->setText(large(tr("Password:")));
    d->saveButton->setText(tr("Save Credentials"));
    d->printButton->setText(tr("Print Credentials"));
}

void CredentialsWizardPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    WizardPage::changeEvent(event);
}
