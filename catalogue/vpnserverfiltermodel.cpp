#include "vpnserverfiltermodel.h"

#include "vpnservermodel.h"

VpnServerFilterModel::VpnServerFilterModel(VpnServerModel *source, QObject *parent)
    : QSortFilterProxyModel(parent)
    , source(source)
{
    setSourceModel(source);
}

VpnServerModel *VpnServerFilterModel::serverModel() const
{
    return source;
}

void VpnServerFilterModel::setProviderFilter(bool enabled, const QString &provider)
{
    providerFilterEnabled = enabled;
    providerFilter = provider.toLower();
    invalidateFilter();
}

bool VpnServerFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const auto text = [this, sourceRow, &sourceParent](int column) {
        if (column < 0)
            return QString();
        return source->index(sourceRow, column, sourceParent).data(Qt::DisplayRole).toString();
    };
    if (providerFilterEnabled && !providerFilter.isEmpty()
        && text(source->providerColumn()).toLower() != providerFilter)
        return false;
    const QRegularExpression expression = filterRegularExpression();
    if (expression.pattern().isEmpty())
        return true;
    return expression.match(text(source->countryColumn())).hasMatch()
        || expression.match(text(source->locationColumn())).hasMatch();
}

bool VpnServerFilterModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    if (QSortFilterProxyModel::lessThan(left, right))
        return true;
    if (QSortFilterProxyModel::lessThan(right, left))
        return false;
    // Without this a tie keeps whatever order the proxy had before: the previous
    // sort column's, or the end of its run for rows the search lets back in.
    // Descending order compares the other way round, so the rows are swapped.
    return sortOrder() == Qt::AscendingOrder ? left.row() < right.row() : left.row() > right.row();
}
