#pragma once

#include <QWidget>

class Core;
class WizardDialog;

// One step of the setup wizard. The wizard makes it current and asks it before it
// moves on; pages reach the wizard for its alert, busy state and buttons.
class WizardPage : public QWidget
{
    Q_OBJECT

public:
    explicit WizardPage(WizardDialog *wizard);

    // Called each time the wizard makes the page current.
    virtual void initializePage();
    // Asked before the wizard moves on; false keeps the page.
    virtual bool validatePage();

protected:
    WizardDialog *wizard() const;
    Core *core() const;
    // The provider's text of that name in the user's language, or the fallback
    // when the provider sent none.
    QString serverText(const QString &name, const QString &fallback) const;
};
