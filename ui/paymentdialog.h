#pragma once

#include "paymentnotification.h"

#include <QDialog>

#include <memory>

class Core;
class Download;
class PaymentDialogPrivate;

// The provider's offer to renew the account: its subscriptions in a list, its
// payment methods as radio buttons with their pictures. "Renew Account" hands the
// choice to the provider's checkout in the browser; "Remind Me Later" closes.
class PaymentDialog : public QDialog
{
    Q_OBJECT

public:
    PaymentDialog(Core *core, QWidget *parent);
    ~PaymentDialog() override;

    // Shows the offer, the provider's defaults chosen; the pictures follow as they
    // arrive.
    void setNotification(const PaymentNotification &notification);
    PaymentNotification notification() const;

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void pay();
    void downloadFinished(Download *download);

private:
    void retranslate();

    std::unique_ptr<PaymentDialogPrivate> d;
};
