#pragma once

#include "sessionfeedback.h"

#include <QObject>
#include <QPointer>

class Core;
class PaymentDialog;
class QWidget;
class WizardDialog;

// The dialogs through which the session asks and tells the user: the login
// dialog, the wizard, the payment offer and the message boxes. Dialogs open
// over the given window; one of each kind at a time.
class SessionDialogs : public QObject, public SessionFeedback
{
    Q_OBJECT

public:
    SessionDialogs(Core *core, QWidget *window);

    bool askForLogin() override;
    bool runWizard() override;
    void resumeWizard() override;
    bool offerPayment(const PaymentNotification &notification) override;
    bool confirmUpdate() override;
    void showProviderUnreachable() override;
    void quit() override;

signals:
    // The program is to end; the main window runs its quit path.
    void quitRequested();

private:
    Core *core;
    QWidget *window;
    QPointer<WizardDialog> wizard;
    QPointer<PaymentDialog> payment;
};
