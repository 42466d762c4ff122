#include "wizarddialog.h"

#include "checkoutstatusrequest.h"
#include "configuration.h"
#include "context.h"
#include "core.h"
#include "logindialog.h"
#include "networkmanager.h"
#include "servervariables.h"
#include "trialrequest.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int CheckoutPollMs = 5000;

} // namespace

class WizardDialogPrivate
{
public:
    Core *core = nullptr;
    QLabel *intro = nullptr;
    QPushButton *existing = nullptr;
    QPushButton *trial = nullptr;
    QLabel *status = nullptr;
    TrialRequest *trialRequest = nullptr;
    CheckoutStatusRequest *checkoutRequest = nullptr;
    QTimer checkoutTimer;

    QString text(const QString &name, const QString &fallback) const
    {
        const QString server = core->context()->text(name);
        return server.isEmpty() ? fallback : server;
    }
};

WizardDialog::WizardDialog(Core *core, QWidget *parent)
    : QDialog(parent)
    , d(new WizardDialogPrivate)
{
    d->core = core;
    core->setBusy(true);
    d->intro = new QLabel(this);
    d->intro->setWordWrap(true);
    d->existing = new QPushButton(this);
    d->trial = new QPushButton(this);
    d->trial->setVisible(core->context()->boolVariable(VAR_TRIAL_ENABLED, true));
    d->status = new QLabel(this);
    d->status->setWordWrap(true);
    d->checkoutTimer.setInterval(CheckoutPollMs);
    connect(&d->checkoutTimer, &QTimer::timeout, this, &WizardDialog::pollCheckout);
    connect(d->existing, &QPushButton::clicked, this, &WizardDialog::logIn);
    connect(d->trial, &QPushButton::clicked, this, &WizardDialog::requestTrial);
    connect(this, &QDialog::finished, this, [this] { d->core->setBusy(false); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->intro);
    layout->addWidget(d->existing);
    layout->addWidget(d->trial);
    layout->addWidget(d->status);
    retranslate();

    // A trial asked for earlier may be ready by now.
    if (!core->configuration()->trialUid().isEmpty())
        QTimer::singleShot(0, this, &WizardDialog::pollCheckout);
}

WizardDialog::~WizardDialog()
{
    NetworkManager *network = d->core->networkManager();
    if (d->trialRequest && network->cancelRequest(d->trialRequest))
        delete d->trialRequest;
    if (d->checkoutRequest && network->cancelRequest(d->checkoutRequest))
        delete d->checkoutRequest;
}

void WizardDialog::retranslate()
{
    setWindowTitle(tr("Welcome to Noxel"));
    d->intro->setText(tr("Protect your privacy in one click. Log in with your account, or try Noxel for free."));
    d->existing->setText(d->text(QStringLiteral("wizard.login.existing.text"), tr("I already have an account")));
    d->trial->setText(d->text(QStringLiteral("wizard.login.trial.text"), tr("Try Noxel for free")));
}

void WizardDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

void WizardDialog::logIn()
{
    LoginDialog dialog(d->core, this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    d->core->setBusy(true);
    if (!accepted)
        return;
    d->core->configuration()->setTrialUid(QString());
    d->core->login();
    accept();
}

void WizardDialog::requestTrial()
{
    if (d->trialRequest)
        return;
    d->trial->setEnabled(false);
    d->status->setText(tr("Asking for a trial account ..."));
    d->trialRequest = new TrialRequest(d->core->configuration()->uuid());
    connect(d->trialRequest, &Request::requestFinished, this, &WizardDialog::trialFinished);
    d->core->networkManager()->addRequest(d->trialRequest);
}

void WizardDialog::trialFinished()
{
    TrialRequest *request = std::exchange(d->trialRequest, nullptr);
    request->deleteLater();
    d->trial->setEnabled(true);
    if (request->isFailed()) {
        showError(tr("The server could not be reached. Please check your internet connection and try again."));
        return;
    }
    if (!request->errorMessage().isEmpty()) {
        showError(request->errorMessage());
        return;
    }
    if (request->hasCredentials()) {
        complete(request->username(), request->password());
        return;
    }
    if (request->isCheckout()) {
        d->core->configuration()->setTrialUid(request->checkoutUid());
        d->status->setText(tr("Your trial account is being prepared ..."));
        d->checkoutTimer.start();
    }
}

void WizardDialog::pollCheckout()
{
    const QString uid = d->core->configuration()->trialUid();
    if (d->checkoutRequest || uid.isEmpty())
        return;
    d->checkoutRequest = new CheckoutStatusRequest(uid);
    connect(d->checkoutRequest, &Request::requestFinished, this, &WizardDialog::checkoutFinished);
    d->core->networkManager()->addRequest(d->checkoutRequest);
}

void WizardDialog::checkoutFinished()
{
    CheckoutStatusRequest *request = std::exchange(d->checkoutRequest, nullptr);
    request->deleteLater();
    if (!request->isFailed() && request->hasCredentials()) {
        d->checkoutTimer.stop();
        complete(request->username(), request->password());
        return;
    }
    if (!d->checkoutTimer.isActive())
        d->checkoutTimer.start();
}

void WizardDialog::complete(const QString &username, const QString &password)
{
    Configuration *configuration = d->core->configuration();
    configuration->beginUpdate();
    configuration->setCredentials(username, password);
    configuration->setTrialUid(QString());
    configuration->setWizardCompleted(true);
    configuration->endUpdate();
    d->core->login();
    accept();
}

void WizardDialog::showError(const QString &message)
{
    d->status->setText(QStringLiteral("<span style=\"color:#a94442\">%1</span>").arg(message.toHtmlEscaped()));
}
