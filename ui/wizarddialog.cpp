#include "wizarddialog.h"

#include "alertwidget.h"
#include "animationwidget.h"
#include "animationwidgetwrapper.h"
#include "configuration.h"
#include "core.h"
#include "credentialswizardpage.h"
#include "hidpi.h"
#include "loginwizardpage.h"
#include "message.h"
#include "settingswizardpage.h"
#include "startwizardpage.h"
#include "styledbutton.h"
#include "trialwaitingwizardpage.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QStackedWidget>
#include <QVBoxLayout>

class WizardDialogPrivate
{
public:
    explicit WizardDialogPrivate(WizardDialog *q)
        : q(q)
    {
    }

    // Each page is made the first time it is shown and kept.
    template<typename Page> Page *page(Page *&slot)
    {
        if (!slot) {
            slot = new Page(q);
            stack->addWidget(slot);
        }
        return slot;
    }

    bool isLastPage(const WizardPage *page) const
    {
        return page && (page == completedPage || page == credentialsPage);
    }

    void showPage(WizardPage *page);
    void showCredentials(const QString &username, const QString &password);
    void updateNextText();
    void finishSetup();

    WizardDialog *const q;
    Core *core = nullptr;
    AnimationWidgetWrapper *busyIndicator = nullptr;
    QLabel *titleLabel = nullptr;
    AlertWidget *alert = nullptr;
    StartWizardPage *startPage = nullptr;
    LoginWizardPage *loginPage = nullptr;
    TrialWaitingWizardPage *trialWaitingPage = nullptr;
    SettingsWizardPage *completedPage = nullptr;
    CredentialsWizardPage *credentialsPage = nullptr;
    QStackedWidget *stack = nullptr;
    StyledButton *cancelButton = nullptr;
    StyledButton *backButton = nullptr;
    StyledButton *nextButton = nullptr;
    bool loginDone = false; // the provider accepted an account in this wizard
};

void WizardDialogPrivate::showPage(WizardPage *page)
{
    const bool last = isLastPage(page);
    backButton->setVisible(false);
    cancelButton->setVisible(!last);
    nextButton->setVisible(page != startPage && page != trialWaitingPage);
    // The login page enables Next once its input is valid; the completed page keeps
    // the state the login left.
    if (page == loginPage || page == trialWaitingPage)
        q->setNextEnabled(false);
    else if (page == credentialsPage)
        q->setNextEnabled(true);
    stack->setCurrentWidget(page);
    updateNextText();
    page->initializePage();
}

void WizardDialogPrivate::showCredentials(const QString &username, const QString &password)
{
    this->page(credentialsPage)->setCredentials(username, password);
    showPage(credentialsPage);
}

void WizardDialogPrivate::updateNextText()
{
    nextButton->setText(isLastPage(q->currentPage()) ? WizardDialog::tr("Finish") : WizardDialog::tr("Next"));
}

void WizardDialogPrivate::finishSetup()
{
    Configuration *configuration = core->configuration();
    if (configuration->isWizardCompleted())
        return;
    configuration->beginUpdate();
    configuration->setWizardCompleted(true);
    configuration->setTrialUid(QString());
    configuration->endUpdate();
    core->login();
}

WizardDialog::WizardDialog(Core *core, QWidget *parent)
    : QDialog(parent)
    , d(new WizardDialogPrivate(this))
{
    d->core = core;
    core->setBusy(true);
    resize(mHiDpiSize(600, 400));

    auto *head = new QWidget(this);
    head->setAttribute(Qt::WA_StyledBackground);
    head->setStyleSheet(
        QStringLiteral(".QWidget { background-color: #ffffff; border-bottom: %1px solid #000000; }")
            .arg(mHiDpiSize(1)));
    auto *logo = new QLabel(head);
    logo->setPixmap(WizardDialog::logo());
    d->titleLabel = new QLabel(head);
    auto *headLayout = new QHBoxLayout(head);
    headLayout->addWidget(logo);
    headLayout->addSpacing(mHiDpiSize(10));
    headLayout->addWidget(d->titleLabel, 1);

    d->alert = new AlertWidget(core, Message::Error, this);
    d->alert->setVisible(false);
    d->stack = new QStackedWidget(this);
    d->busyIndicator = createActivityIndicator(this);
    d->busyIndicator->setVisible(false);

    d->cancelButton = new StyledButton(this);
    d->backButton = new StyledButton(this);
    d->nextButton = new StyledButton(this);
    d->nextButton->setStyle(StyledButton::Primary);
    // Return in a field means Next, never Cancel: the dialog would otherwise make
    // the first button its default while Next is still disabled.
    d->cancelButton->setAutoDefault(false);
    d->backButton->setAutoDefault(false);
    d->nextButton->setDefault(true);
    connect(d->cancelButton, &QPushButton::clicked, this, &WizardDialog::cancelWizard);
    connect(d->backButton, &QPushButton::clicked, this, &WizardDialog::moveToPreviousPage);
    connect(d->nextButton, &QPushButton::clicked, this, &WizardDialog::moveToNextPage);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(d->cancelButton);
    buttons->addStretch(1);
    buttons->addWidget(d->backButton);
    buttons->addWidget(d->nextButton);

    auto *body = new QVBoxLayout;
    body->addWidget(d->alert);
    body->addWidget(d->stack, 1);
    body->addWidget(d->busyIndicator, 0, Qt::AlignHCenter);
    body->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(head);
    layout->addLayout(body, 1);
    const int margin = mHiDpiSize(10);
    body->setContentsMargins(margin, margin, margin, margin);
    body->setSpacing(margin);

    retranslate();
    d->showPage(d->page(d->startPage));
}

WizardDialog::~WizardDialog() = default;

QPixmap WizardDialog::logo()
{
    constexpr int Height = 44;
    QPixmap pixmap(
        mHiDpiFactor() > 1.0 ? QStringLiteral(":/images/logo@2x.png") : QStringLiteral(":/images/logo.png"));
    if (!pixmap.isNull())
        me_adapt_pixmap(pixmap, mHiDpiFactor(), Height * pixmap.width() / pixmap.height(), Height);
    return pixmap;
}

AnimationWidgetWrapper *WizardDialog::createActivityIndicator(QWidget *parent)
{
    auto *indicator = new AnimationWidgetWrapper(Qt::Horizontal, parent);
    indicator->animation()->setImage(mHiDpiFactor() > 1.0 ? QStringLiteral(":/animations/activity@2x.png")
                                                          : QStringLiteral(":/animations/activity.png"),
        12, mHiDpiFactor(), 192, 16);
    return indicator;
}

Core *WizardDialog::core() const
{
    return d->core;
}

WizardPage *WizardDialog::currentPage() const
{
    return qobject_cast<WizardPage *>(d->stack->currentWidget());
}

void WizardDialog::showAlert(const QString &text, int kind)
{
    d->alert->setKind(kind);
    d->alert->setText(text);
    d->alert->setVisible(true);
}

void WizardDialog::concealAlert()
{
    d->alert->setVisible(false);
}

void WizardDialog::setBusy(bool busy)
{
    d->stack->setEnabled(!busy);
    d->busyIndicator->setVisible(busy);
    if (busy)
        d->busyIndicator->animation()->start();
    else
        d->busyIndicator->animation()->stop();
}

void WizardDialog::setBackEnabled(bool enabled)
{
    d->backButton->setEnabled(enabled);
}

void WizardDialog::setNextEnabled(bool enabled)
{
    d->nextButton->setEnabled(enabled);
    if (enabled)
        d->nextButton->setDefault(true);
}

void WizardDialog::moveToPreviousPage()
{
    if (d->loginDone)
        d->showPage(d->page(d->completedPage));
    else if (currentPage() == d->completedPage)
        setLoginPage();
}

void WizardDialog::moveToNextPage()
{
    WizardPage *current = currentPage();
    if (!current->validatePage())
        return;
    if (d->isLastPage(current)) {
        d->finishSetup();
        accept();
        return;
    }
    Configuration *configuration = d->core->configuration();
    if (configuration->trialUid().isEmpty()) {
        if (current == d->startPage)
            setLoginPage();
        else if (current == d->loginPage)
            d->showPage(d->page(d->completedPage));
    } else if (configuration->hasCredentials()) {
        d->showCredentials(configuration->username(), configuration->password());
    } else {
        setTrialWaitingPage();
    }
}

void WizardDialog::cancelWizard()
{
    const QMessageBox::StandardButton answer
        = QMessageBox::question(this, tr("Closing"), tr("Do you really want to close the setup wizard?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        reject();
}

void WizardDialog::setLoginPage()
{
    d->showPage(d->page(d->loginPage));
}

void WizardDialog::setTrialWaitingPage()
{
    d->showPage(d->page(d->trialWaitingPage));
}

void WizardDialog::setLogin(const QString &username, const QString &password, bool trial)
{
    d->loginDone = true;
    Configuration *configuration = d->core->configuration();
    configuration->beginUpdate();
    configuration->setSaveCredentials(true);
    configuration->setCredentials(username, password);
    configuration->endUpdate();
    if (trial)
        d->showCredentials(username, password);
    else
        d->showPage(d->page(d->completedPage));
}

void WizardDialog::done(int result)
{
    if (result != Accepted && currentPage() == d->completedPage)
        d->finishSetup();
    d->core->setBusy(false);
    QDialog::done(result);
}

void WizardDialog::retranslate()
{
    setWindowTitle(tr("Sign In"));
    d->titleLabel->setText(QStringLiteral("<font size=\"+3\">%1</font>").arg(tr("Sign In")));
    d->busyIndicator->setText(tr("Please wait ..."));
    d->cancelButton->setText(tr("Cancel"));
    d->backButton->setText(tr("Back"));
    d->updateNextText();
}

void WizardDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}
