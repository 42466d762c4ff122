#pragma once

#include <QSortFilterProxyModel>

class VpnServerModel;

// Sorting and search in front of the server table: the search text matches the
// country or the location; administrators may also filter by provider.
class VpnServerFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit VpnServerFilterModel(VpnServerModel *source, QObject *parent = nullptr);

    VpnServerModel *serverModel() const;
    // Keeps only the rows of one provider, compared in any letter case.
    void setProviderFilter(bool enabled, const QString &provider);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    // Rows with equal keys keep the catalogue's order in either direction.
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    VpnServerModel *source;
    bool providerFilterEnabled = false;
    QString providerFilter;
};
