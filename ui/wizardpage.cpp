#include "wizardpage.h"

#include "context.h"
#include "core.h"
#include "wizarddialog.h"

WizardPage::WizardPage(WizardDialog *wizard)
    : QWidget(wizard)
{
}

void WizardPage::initializePage() { }

bool WizardPage::validatePage()
{
    return true;
}

WizardDialog *WizardPage::wizard() const
{
    // The wizard's stack holds the page, so the wizard is always its window.
    return qobject_cast<WizardDialog *>(window());
}

Core *WizardPage::core() const
{
    return wizard()->core();
}

QString WizardPage::serverText(const QString &name, const QString &fallback) const
{
    const QString text = core()->context()->text(name);
    return text.isEmpty() ? fallback : text;
}
