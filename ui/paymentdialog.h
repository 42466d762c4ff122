#pragma once

#include "paymentnotification.h"

#include <QDialog>

class Core;
class QLabel;
class QDialogButtonBox;

// The provider's offer of a subscription.
class PaymentDialog : public QDialog
{
    Q_OBJECT

public:
    PaymentDialog(Core *core, QWidget *parent);

    void setNotification(const PaymentNotification &notification);

private:
    Core *core;
    QLabel *headline;
    QLabel *text;
    QDialogButtonBox *buttons;
};
