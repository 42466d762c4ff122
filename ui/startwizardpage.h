#pragma once

#include "wizardpage.h"

#include <memory>

class StartWizardPagePrivate;

// Waits for the provider's first answer, which brings the texts and variables the
// other pages need, and warns when it is long in coming.
class StartWizardPage : public WizardPage
{
    Q_OBJECT

public:
    explicit StartWizardPage(WizardDialog *wizard);
    ~StartWizardPage() override;

    void initializePage() override;

public slots:
    void showConnectivityInfo();
    void variablesUpdated();

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<StartWizardPagePrivate> d;
};
