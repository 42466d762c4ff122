#include "subscriptionmodel.h"

#include "stringutils.h"

SubscriptionModel::SubscriptionModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void SubscriptionModel::setSubscriptions(const QList<PaymentNotification::Subscription> &list)
{
    beginResetModel();
    subscriptions = list;
    endResetModel();
}

int SubscriptionModel::rowOf(const QString &key) const
{
    if (key.isEmpty())
        return -1;
    for (int row = 0; row < subscriptions.size(); ++row) {
        if (subscriptions.at(row).key == key)
            return row;
    }
    return -1;
}

int SubscriptionModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(subscriptions.size());
}

QVariant SubscriptionModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const PaymentNotification::Subscription &subscription = subscriptions.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        // Prices come as "&euro;" and "&#36;".
        return subscription.description.isEmpty()
            ? subscription.key
            : StringUtils::replaceHtmlEntities(subscription.description);
    case KeyRole:
        return subscription.key;
    default:
        return QVariant();
    }
}
