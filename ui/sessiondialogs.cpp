#include "sessiondialogs.h"

#include "logindialog.h"
#include "paymentdialog.h"
#include "wizarddialog.h"

#include <QMessageBox>

SessionDialogs::SessionDialogs(Core *core, QWidget *window)
    : QObject(window)
    , core(core)
    , window(window)
{
}

bool SessionDialogs::askForLogin()
{
    auto *dialog = new LoginDialog(core, window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->activateWindow();
    dialog->raise();
    dialog->setFocus();
    return dialog->exec() == QDialog::Accepted;
}

bool SessionDialogs::runWizard()
{
    if (wizard) {
        // A wizard resumed for a pending trial is already up: wait for it.
        wizard->raise();
        wizard->activateWindow();
        return wizard->exec() == QDialog::Accepted;
    }
    wizard = new WizardDialog(core);
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    return wizard->exec() == QDialog::Accepted;
}

void SessionDialogs::resumeWizard()
{
    if (wizard)
        return;
    wizard = new WizardDialog(core);
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    wizard->show();
}

bool SessionDialogs::offerPayment(const PaymentNotification &notification)
{
    if (payment) {
        // The open offer follows the provider's latest; no new reminder time is taken.
        if (payment->notification() != notification)
            payment->setNotification(notification);
        return false;
    }
    payment = new PaymentDialog(core, window);
    payment->setAttribute(Qt::WA_DeleteOnClose);
    payment->setNotification(notification);
    payment->showNormal();
    payment->activateWindow();
    return true;
}

bool SessionDialogs::confirmUpdate()
{
    const QMessageBox::StandardButton answer = QMessageBox::question(
        nullptr, tr("Update available"),
        tr("A new version of this software is available. Would you like to start the auto update? The software will "
           "be closed and any VPN connection terminated during the update process."),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes;
}

void SessionDialogs::showProviderUnreachable()
{
    QMessageBox::information(window, tr("Error"), tr("Unable to connect to server. Please check your internet connection."),
                             QMessageBox::Ok);
}

void SessionDialogs::quit()
{
    emit quitRequested();
}
