#include "trialwaitingwizardpage.h"

#include "animationwidget.h"
#include "animationwidgetwrapper.h"
#include "checkoutstatusrequest.h"
#include "configuration.h"
#include "core.h"
#include "networkmanager.h"
#include "styledbutton.h"
#include "wizarddialog.h"

#include <QEvent>
#include <QHideEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int CheckoutPollMs = 10000;

} // namespace

class TrialWaitingWizardPagePrivate
{
public:
    Core *core = nullptr;
    QLabel *text = nullptr;
    AnimationWidgetWrapper *animation = nullptr;
    StyledButton *restartButton = nullptr;
    CheckoutStatusRequest *request = nullptr;
    QString requestUid; // the trial the running request asks about
    QTimer pollTimer; // active: the next poll is scheduled
};

TrialWaitingWizardPage::TrialWaitingWizardPage(WizardDialog *wizard)
    : WizardPage(wizard)
    , d(new TrialWaitingWizardPagePrivate)
{
    d->core = core();
    d->text = new QLabel(this);
    d->text->setWordWrap(true);
    d->animation = WizardDialog::createActivityIndicator(this);
    d->restartButton = new StyledButton(this);
    d->pollTimer.setSingleShot(true);
    d->pollTimer.setInterval(CheckoutPollMs);
    connect(&d->pollTimer, &QTimer::timeout, this, &TrialWaitingWizardPage::updateCheckoutStatus);
    connect(d->restartButton, &QPushButton::clicked, this, &TrialWaitingWizardPage::restartWizard);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->text);
    layout->addStretch(1);
    layout->addWidget(d->animation, 0, Qt::AlignCenter);
    layout->addStretch(1);
    layout->addWidget(d->restartButton, 0, Qt::AlignRight);
    retranslate();
}

TrialWaitingWizardPage::~TrialWaitingWizardPage()
{
    if (d->request && d->core->networkManager()->cancelRequest(d->request))
        delete d->request;
}

void TrialWaitingWizardPage::initializePage()
{
    // The provider's text may have come since the page was made.
    retranslate();
    d->animation->animation()->start();
    updateCheckoutStatus();
}

void TrialWaitingWizardPage::restartWizard()
{
    d->pollTimer.stop();
    d->animation->animation()->stop();
    d->core->configuration()->setTrialUid(QString());
    wizard()->setLoginPage();
}

void TrialWaitingWizardPage::updateCheckoutStatus()
{
    d->pollTimer.stop();
    const QString uid = d->core->configuration()->trialUid();
    if (d->request || uid.isEmpty())
        return;
    d->request = new CheckoutStatusRequest(uid);
    d->requestUid = uid;
    connect(
        d->request, &Request::requestFinished, this, &TrialWaitingWizardPage::checkoutStatusRequestFinished);
    d->core->networkManager()->addRequest(d->request);
}

void TrialWaitingWizardPage::checkoutStatusRequestFinished()
{
    CheckoutStatusRequest *request = std::exchange(d->request, nullptr);
    request->deleteLater();
    const QString uid = std::exchange(d->requestUid, QString());
    // Hidden: the sign-up was restarted or the wizard closed; nothing to wait for.
    if (!isVisible())
        return;
    // The answer is about a trial since forgotten: ask about the one now pending.
    if (uid != d->core->configuration()->trialUid()) {
        updateCheckoutStatus();
        return;
    }
    if (!request->isFailed() && request->hasCredentials()) {
        d->animation->animation()->stop();
        wizard()->setLogin(request->username(), request->password(), true);
        return;
    }
    if (!d->pollTimer.isActive())
        d->pollTimer.start();
}

void TrialWaitingWizardPage::retranslate()
{
    d->text->setText(serverText(QStringLiteral("wizard.login.trial.email.verification.text"),
        tr("We have sent you an email. Please open the link in it to confirm your email "
           "address; your account is ready as soon as you have done so.")));
    d->animation->setText(tr("Waiting for email address confirmation ..."));
    d->restartButton->setText(tr("Restart sign up"));
}

void TrialWaitingWizardPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    WizardPage::changeEvent(event);
}

void TrialWaitingWizardPage::hideEvent(QHideEvent *event)
{
    // A minimised window is hidden too, and should go on waiting.
    if (!event->spontaneous())
        d->pollTimer.stop();
    WizardPage::hideEvent(event);
}
