#pragma once

#include "wizardpage.h"

#include <memory>

class LoginWizardPagePrivate;

// Asks for an existing account's username and password, or, while the provider
// offers trials, for the e-mail address of a new trial account. It moves on only
// through the provider's answer.
class LoginWizardPage : public WizardPage
{
    Q_OBJECT

public:
    explicit LoginWizardPage(WizardDialog *wizard);
    ~LoginWizardPage() override;

    void initializePage() override;
    // Starts the login check or the trial request; the answer moves the wizard on.
    bool validatePage() override;

public slots:
    // Return in a field.
    void moveToNextPage();
    void variablesUpdated();
    void lostPassword();
    void signup();
    void textChanged();
    void updateState();

private slots:
    void trialRequestFinished();
    void loginRequestFinished();

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<LoginWizardPagePrivate> d;
};
