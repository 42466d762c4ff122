#include "vpnserverfiltermodel.h"

#include "vpnservermodel.h"

namespace {

// Whether keyLessThan() compares the two keys as the proxy itself would: keys of one
// of the kinds the server model gives, numbers, flags and texts, or a missing key.
bool comparable(const QVariant &left, const QVariant &right)
{
    const auto plain = [](const QVariant &key) {
        const int type = key.typeId();
        return type == QMetaType::Int || type == QMetaType::Bool || type == QMetaType::QString;
    };
    if (!left.isValid() || !right.isValid())
        return (!left.isValid() || plain(left)) && (!right.isValid() || plain(right));
    return plain(left) && left.typeId() == right.typeId();
}

// The value in a variant of type T, read without a copy or a conversion.
template<typename T> const T &held(const QVariant &key)
{
    return *static_cast<const T *>(key.constData());
}

// The proxy's comparison of sort keys: a missing key after every other, flags as
// their texts ("false" first).
bool keyLessThan(const QVariant &left, const QVariant &right, Qt::CaseSensitivity cs)
{
    if (!left.isValid())
        return false;
    if (!right.isValid())
        return true;
    // comparable() made sure that both hold the same type.
    switch (left.typeId()) {
    case QMetaType::Int:
        return held<int>(left) < held<int>(right);
    case QMetaType::Bool:
        return !held<bool>(left) && held<bool>(right);
    default:
        return QString::compare(held<QString>(left), held<QString>(right), cs) < 0;
    }
}

// Whether the search pattern matches anywhere in a name.
bool matches(const QRegularExpression &expression, const QVariant &name)
{
    if (name.typeId() == QMetaType::QString)
        return expression.match(held<QString>(name)).hasMatch();
    return expression.match(name.toString()).hasMatch();
}

// Without this a tie keeps whatever order the proxy had before: the previous sort
// column's, or the end of its run for rows the search lets back in. Descending
// order compares the other way round, so the rows are swapped.
bool rowLessThan(const QModelIndex &left, const QModelIndex &right, Qt::SortOrder order)
{
    return order == Qt::AscendingOrder ? left.row() < right.row() : left.row() > right.row();
}

} // namespace

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
    // The panel sets it again with every keystroke in the search box: filtering ten
    // thousand rows twice per keystroke is felt.
    const QString lower = provider.toLower();
    if (enabled == providerFilterEnabled && lower == providerFilter)
        return;
    providerFilterEnabled = enabled;
    providerFilter = lower;
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
    // The country and location columns show their sort keys, the names, which the
    // model keeps: no data() call per row and keystroke.
    const auto found = [this, &expression, sourceRow](int column) {
        const QList<QVariant> &names = source->sortKeys(column);
        return sourceRow < names.size() && matches(expression, names.at(sourceRow));
    };
    return found(source->countryColumn()) || found(source->locationColumn());
}

bool VpnServerFilterModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    if (sortRole() == Qt::UserRole && !isSortLocaleAware() && left.column() == right.column()) {
        // The model keeps these keys: no data() call and no new variant per comparison.
        const QList<QVariant> &keys = source->sortKeys(left.column());
        if (left.row() < keys.size() && right.row() < keys.size()
            && comparable(keys.at(left.row()), keys.at(right.row()))) {
            if (keyLessThan(keys.at(left.row()), keys.at(right.row()), sortCaseSensitivity()))
                return true;
            if (keyLessThan(keys.at(right.row()), keys.at(left.row()), sortCaseSensitivity()))
                return false;
            return rowLessThan(left, right, sortOrder());
        }
    }
    if (QSortFilterProxyModel::lessThan(left, right))
        return true;
    if (QSortFilterProxyModel::lessThan(right, left))
        return false;
    return rowLessThan(left, right, sortOrder());
}
