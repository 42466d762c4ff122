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
    return expression.match(text(source->countryColumn())).hasMatch()
        || expression.match(text(source->locationColumn())).hasMatch();
}
