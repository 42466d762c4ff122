#include "startwizardpage.h"

#include "animationwidget.h"
#include "animationwidgetwrapper.h"
#include "context.h"
#include "core.h"
#include "message.h"
#include "wizarddialog.h"

#include <QEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int ConnectivityWarningMs = 10000;

} // namespace

class StartWizardPagePrivate
{
public:
    AnimationWidgetWrapper *animation = nullptr;
    QTimer warningTimer;
};

StartWizardPage::StartWizardPage(WizardDialog *wizard)
    : WizardPage(wizard)
    , d(new StartWizardPagePrivate)
{
    d->animation = WizardDialog::createActivityIndicator(this);
    d->warningTimer.setSingleShot(true);
    d->warningTimer.setInterval(ConnectivityWarningMs);
    connect(&d->warningTimer, &QTimer::timeout, this, &StartWizardPage::showConnectivityInfo);
    connect(core(), &Core::variablesUpdated, this, &StartWizardPage::variablesUpdated);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(d->animation, 0, Qt::AlignCenter);
    layout->addStretch(1);
    retranslate();
}

StartWizardPage::~StartWizardPage() = default;

void StartWizardPage::initializePage()
{
    d->animation->animation()->start();
    d->warningTimer.start();
    // The provider may have answered before the wizard opened: then there is
    // nothing to wait for, and no later answer might come to move on.
    if (core()->context()->isValid())
        QTimer::singleShot(0, this, &StartWizardPage::variablesUpdated);
}

void StartWizardPage::showConnectivityInfo()
{
    wizard()->showAlert(
        tr("Connection couldn't be established yet.<br />Please check your internet connection and "
           "ensure no firewall is blocking access to the internet."),
        Message::Warning);
}

void StartWizardPage::variablesUpdated()
{
    // Later answers come while other pages are shown; only the first one moves on.
    if (wizard()->currentPage() != this)
        return;
    d->warningTimer.stop();
    d->animation->animation()->stop();
    wizard()->concealAlert();
    wizard()->moveToNextPage();
}

void StartWizardPage::retranslate()
{
    d->animation->setText(tr("Trying to establish connection. Please wait ..."));
}

void StartWizardPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    WizardPage::changeEvent(event);
}
