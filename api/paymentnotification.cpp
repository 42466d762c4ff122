#include "paymentnotification.h"

#include "xmlanswer.h"

class PaymentNotificationData : public QSharedData
{
public:
    bool null = true;
    bool forced = false;
    int lockSecs = 0;
    QString title;
    QString headline;
    QString text;
    QString submitButton;
    QString cancelButton;
    QList<PaymentNotification::Subscription> subscriptions;
    QString defaultSubscription;
    QList<PaymentNotification::PaymentOption> paymentOptions;
    QString defaultPaymentOption;
};

PaymentNotification::PaymentNotification()
    : d(new PaymentNotificationData)
{
}

PaymentNotification::PaymentNotification(const PaymentNotification &other) = default;
PaymentNotification &PaymentNotification::operator=(const PaymentNotification &other) = default;
PaymentNotification::~PaymentNotification() = default;

bool PaymentNotification::operator==(const PaymentNotification &other) const
{
    if (d == other.d)
        return true;
    const PaymentNotificationData &a = *d;
    const PaymentNotificationData &b = *other.d;
    return a.null == b.null && a.forced == b.forced && a.lockSecs == b.lockSecs && a.title == b.title
        && a.headline == b.headline && a.text == b.text && a.submitButton == b.submitButton
        && a.cancelButton == b.cancelButton && a.subscriptions == b.subscriptions
        && a.defaultSubscription == b.defaultSubscription && a.paymentOptions == b.paymentOptions
        && a.defaultPaymentOption == b.defaultPaymentOption;
}

bool PaymentNotification::operator!=(const PaymentNotification &other) const
{
    return !(*this == other);
}

bool PaymentNotification::isNull() const { return d->null; }
bool PaymentNotification::isForced() const { return d->forced; }
int PaymentNotification::lockSecs() const { return d->lockSecs; }
QString PaymentNotification::title() const { return d->title; }
QString PaymentNotification::headline() const { return d->headline; }
QString PaymentNotification::text() const { return d->text; }
QString PaymentNotification::submitButton() const { return d->submitButton; }
QString PaymentNotification::cancelButton() const { return d->cancelButton; }
QList<PaymentNotification::Subscription> PaymentNotification::subscriptions() const { return d->subscriptions; }
QString PaymentNotification::defaultSubscription() const { return d->defaultSubscription; }
QList<PaymentNotification::PaymentOption> PaymentNotification::paymentOptions() const { return d->paymentOptions; }
QString PaymentNotification::defaultPaymentOption() const { return d->defaultPaymentOption; }

void PaymentNotification::setForced(bool forced)
{
    d->forced = forced;
    d->null = false;
}

void PaymentNotification::setLockSecs(int lockSecs)
{
    d->lockSecs = lockSecs;
    d->null = false;
}

void PaymentNotification::setTitle(const QString &title)
{
    d->title = title;
    d->null = false;
}

void PaymentNotification::setHeadline(const QString &headline)
{
    d->headline = headline;
    d->null = false;
}

void PaymentNotification::setText(const QString &text)
{
    d->text = text;
    d->null = false;
}

void PaymentNotification::setSubmitButton(const QString &submitButton)
{
    d->submitButton = submitButton;
    d->null = false;
}

void PaymentNotification::setCancelButton(const QString &cancelButton)
{
    d->cancelButton = cancelButton;
    d->null = false;
}

void PaymentNotification::setSubscriptions(const QList<PaymentNotification::Subscription> &subscriptions)
{
    d->subscriptions = subscriptions;
    d->null = false;
}

void PaymentNotification::setDefaultSubscription(const QString &defaultSubscription)
{
    d->defaultSubscription = defaultSubscription;
    d->null = false;
}

void PaymentNotification::setPaymentOptions(const QList<PaymentNotification::PaymentOption> &paymentOptions)
{
    d->paymentOptions = paymentOptions;
    d->null = false;
}

void PaymentNotification::setDefaultPaymentOption(const QString &defaultPaymentOption)
{
    d->defaultPaymentOption = defaultPaymentOption;
    d->null = false;
}

PaymentNotification PaymentNotification::fromXml(QXmlStreamReader &reader)
{
    PaymentNotification notification;
    PaymentNotificationData &data = *notification.d;
    data.null = false;
    data.forced = XmlAnswer::attribute(reader, QStringLiteral("forced")) == QLatin1String("true");
    data.lockSecs = XmlAnswer::intAttribute(reader, QStringLiteral("lock-secs"), 0);
    XmlAnswer::readUntilEnd(reader, QStringLiteral("payment-notification"), [&data](QXmlStreamReader &reader) {
        const QStringView name = reader.name();
        if (name == QLatin1String("title")) {
            data.title = reader.readElementText();
        } else if (name == QLatin1String("headline")) {
            data.headline = reader.readElementText();
        } else if (name == QLatin1String("text")) {
            data.text = reader.readElementText();
        } else if (name == QLatin1String("submit-button")) {
            data.submitButton = reader.readElementText();
        } else if (name == QLatin1String("cancel-button")) {
            data.cancelButton = reader.readElementText();
        } else if (name == QLatin1String("subscriptions")) {
            data.defaultSubscription = XmlAnswer::attribute(reader, QStringLiteral("default"));
        } else if (name == QLatin1String("subscription")) {
            data.subscriptions.append({XmlAnswer::attribute(reader, QStringLiteral("key")), QString()});
        } else if (name == QLatin1String("description") && !data.subscriptions.isEmpty()) {
            data.subscriptions.last().description = reader.readElementText();
        } else if (name == QLatin1String("payment-options")) {
            data.defaultPaymentOption = XmlAnswer::attribute(reader, QStringLiteral("default"));
        } else if (name == QLatin1String("payment-option")) {
            PaymentOption option;
            option.key = XmlAnswer::attribute(reader, QStringLiteral("key"));
            option.isDefault = XmlAnswer::attribute(reader, QStringLiteral("default")) == QLatin1String("true");
            data.paymentOptions.append(option);
        } else if (!data.paymentOptions.isEmpty()) {
            PaymentOption &option = data.paymentOptions.last();
            if (name == QLatin1String("name")) {
                option.name = reader.readElementText();
            } else if (name == QLatin1String("pixmap")) {
                bool ok = false;
                const double dpr = reader.attributes().value(QLatin1String("dpr")).toDouble(&ok);
                if (ok && dpr > 0)
                    option.pixmapDpr = dpr;
                option.pixmap = QByteArray::fromBase64(reader.readElementText().toLatin1());
            } else if (name == QLatin1String("url")) {
                option.url = reader.readElementText();
            }
        }
    });
    return notification;
}
