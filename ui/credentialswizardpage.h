#pragma once

#include "wizardpage.h"

#include <memory>

class CredentialsWizardPagePrivate;

// The last page after a trial sign-up: shows the new account's username and
// password, and saves or prints them.
class CredentialsWizardPage : public WizardPage
{
    Q_OBJECT

public:
    explicit CredentialsWizardPage(WizardDialog *wizard);
    ~CredentialsWizardPage() override;

    void setCredentials(const QString &username, const QString &password);

public slots:
    void save();
    void print();

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<CredentialsWizardPagePrivate> d;
};
