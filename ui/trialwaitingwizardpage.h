#pragma once

#include "wizardpage.h"

#include <memory>

class TrialWaitingWizardPagePrivate;

// Waits until the user has confirmed the e-mail address of a new trial account,
// asking the provider every ten seconds, or starts the sign-up again.
class TrialWaitingWizardPage : public WizardPage
{
    Q_OBJECT

public:
    explicit TrialWaitingWizardPage(WizardDialog *wizard);
    ~TrialWaitingWizardPage() override;

    void initializePage() override;

public slots:
    // Forgets the pending trial and goes back to the login page.
    void restartWizard();
    void updateCheckoutStatus();

private slots:
    void checkoutStatusRequestFinished();

protected:
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<TrialWaitingWizardPagePrivate> d;
};
