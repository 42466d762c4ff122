#pragma once

#include "paymentnotification.h"

#include <QAbstractListModel>
#include <QList>

// The subscriptions of a payment offer, one row each, in the provider's order. A
// row shows the subscription's description (its key when it has none); KeyRole
// gives the key the checkout is asked for.
class SubscriptionModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        KeyRole = Qt::UserRole + 1,
    };

    explicit SubscriptionModel(QObject *parent = nullptr);

    void setSubscriptions(const QList<PaymentNotification::Subscription> &subscriptions);
    // The row of the subscription with this key; -1 when there is none.
    int rowOf(const QString &key) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QList<PaymentNotification::Subscription> subscriptions;
};
