#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class QXmlStreamReader;
class PaymentNotificationData;

// An offer of a subscription that the account panels show.
class PaymentNotification
{
public:
    struct Subscription
    {
        QString key;
        QString description;

        bool operator==(const Subscription &other) const
        {
            return key == other.key && description == other.description;
        }
    };

    struct PaymentOption
    {
        QString key;
        bool isDefault = false;
        QString name;
        double pixmapDpr = 1.0;
        QByteArray pixmap; // the picture's file contents
        QString url;

        bool operator==(const PaymentOption &other) const
        {
            return key == other.key && isDefault == other.isDefault && name == other.name
                && pixmapDpr == other.pixmapDpr && pixmap == other.pixmap && url == other.url;
        }
    };

    PaymentNotification();
    PaymentNotification(const PaymentNotification &other);
    PaymentNotification &operator=(const PaymentNotification &other);
    ~PaymentNotification();

    // Equal when every field is: an offer the provider repeats is the same offer.
    bool operator==(const PaymentNotification &other) const;
    bool operator!=(const PaymentNotification &other) const;

    bool isNull() const;
    bool isForced() const;
    int lockSecs() const;
    QString title() const;
    QString headline() const;
    QString text() const;
    QString submitButton() const;
    QString cancelButton() const;
    QList<Subscription> subscriptions() const;
    QString defaultSubscription() const;
    QList<PaymentOption> paymentOptions() const;
    QString defaultPaymentOption() const;

    void setForced(bool forced);
    void setLockSecs(int lockSecs);
    void setTitle(const QString &title);
    void setHeadline(const QString &headline);
    void setText(const QString &text);
    void setSubmitButton(const QString &submitButton);
    void setCancelButton(const QString &cancelButton);
    void setSubscriptions(const QList<Subscription> &subscriptions);
    void setDefaultSubscription(const QString &defaultSubscription);
    void setPaymentOptions(const QList<PaymentOption> &paymentOptions);
    void setDefaultPaymentOption(const QString &defaultPaymentOption);

    static PaymentNotification fromXml(QXmlStreamReader &reader);

private:
    QSharedDataPointer<PaymentNotificationData> d;
};

Q_DECLARE_METATYPE(PaymentNotification)
