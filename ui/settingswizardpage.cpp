#include "settingswizardpage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

class SettingsWizardPagePrivate
{
public:
    QLabel *title = nullptr;
    QLabel *text = nullptr;
};

SettingsWizardPage::SettingsWizardPage(WizardDialog *wizard)
    : WizardPage(wizard)
    , d(new SettingsWizardPagePrivate)
{
    d->title = new QLabel(this);
    d->title->setWordWrap(true);
    d->text = new QLabel(this);
    d->text->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->title);
    layout->addWidget(d->text);
    layout->addStretch(1);
    retranslate();
}

SettingsWizardPage::~SettingsWizardPage() = default;

void SettingsWizardPage::initializePage()
{
    // The provider's texts may have come since the page was made.
    retranslate();
}

void SettingsWizardPage::retranslate()
{
    d->title->setText(
        QStringLiteral("<font size=\"+2\">%1</font>")
            .arg(serverText(QStringLiteral("wizard.signin.completed.title"), tr("Sign In Completed"))));
    d->text->setText(serverText(QStringLiteral("wizard.signin.completed.text"),
        tr("The sign in process has been completed. You can close this window and start "
           "using %1.")
            .arg(QCoreApplication::applicationName())));
}

void SettingsWizardPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    WizardPage::changeEvent(event);
}
