#pragma once

#include "wizardpage.h"

#include <memory>

class SettingsWizardPagePrivate;

// The last page after logging in with an existing account: the set-up is done.
class SettingsWizardPage : public WizardPage
{
    Q_OBJECT

public:
    explicit SettingsWizardPage(WizardDialog *wizard);
    ~SettingsWizardPage() override;

    void initializePage() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<SettingsWizardPagePrivate> d;
};
