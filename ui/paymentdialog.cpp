#include "paymentdialog.h"

#include "constants.h"
#include "core.h"
#include "stringutils.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PaymentDialog::PaymentDialog(Core *core, QWidget *parent)
    : QDialog(parent)
    , core(core)
    , headline(new QLabel(this))
    , text(new QLabel(this))
    , buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    headline->setWordWrap(true);
    text->setWordWrap(true);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        this->core->openLink(ACCOUNT_HOME_LINK);
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(headline);
    layout->addWidget(text);
    layout->addWidget(buttons);
}

void PaymentDialog::setNotification(const PaymentNotification &notification)
{
    setWindowTitle(notification.title());
    headline->setText(QStringLiteral("<b>%1</b>").arg(StringUtils::replaceHtmlEntities(notification.headline())));
    text->setText(StringUtils::replaceHtmlEntities(notification.text()));
    if (!notification.submitButton().isEmpty())
        buttons->button(QDialogButtonBox::Ok)->setText(notification.submitButton());
    if (!notification.cancelButton().isEmpty())
        buttons->button(QDialogButtonBox::Cancel)->setText(notification.cancelButton());
}
