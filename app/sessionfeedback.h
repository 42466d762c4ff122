#pragma once

#include "paymentnotification.h"

// How the session with the provider reaches the user; the main window provides
// it. Without one, nothing is asked and the session goes on as far as it can.
class SessionFeedback
{
public:
    virtual ~SessionFeedback() = default;

    // Asks for the account's login and waits; true when the user logged in.
    virtual bool askForLogin() = 0;
    // Runs the setup wizard and waits; true when it was completed.
    virtual bool runWizard() = 0;
    // Shows the wizard without waiting, to go on with a trial whose checkout is pending.
    virtual void resumeWizard() = 0;
    // Offers the provider's payment; false while an offer is already shown.
    virtual bool offerPayment(const PaymentNotification &notification) = 0;
    // Asks whether to run the update now; the program ends for it.
    virtual bool confirmUpdate() = 0;
    // Tells the user that the provider could not be reached.
    virtual void showProviderUnreachable() = 0;
    // Ends the program the way the user's own quit does.
    virtual void quit() = 0;
};
