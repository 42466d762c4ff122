#pragma once

#include "geoip.h"
#include "userstatus.h"
#include "vpnserver.h"

#include <QAbstractTableModel>

#include <memory>

class VpnManager;
class VpnServerModelPrivate;

// The server table of the connection panel. Rows are the catalogue's servers in
// its order; the user role of every column is its sort key.
class VpnServerModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit VpnServerModel(VpnManager *manager, QObject *parent = nullptr);
    ~VpnServerModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int countryColumn() const;
    int locationColumn() const;
    // -1 unless the account may use Stealth OpenVPN.
    int stealthColumn() const;
    int serverColumn() const;
    int freeColumn() const;
    int pingColumn() const;
    int distanceColumn() const;
    // The provider and check columns exist for administrators only; -1 otherwise.
    int providerColumn() const;
    int checkColumn() const;

    // The server of the row; null for an invalid index.
    VpnServer serverAt(const QModelIndex &index) const;
    // The sort keys of a column by row, its user role as data() gives it; empty for a
    // column that does not exist. Sorting and the search read them far more often than
    // they change, so the model keeps them and brings them up to date before it reports
    // a change.
    const QList<QVariant> &sortKeys(int column) const;

public slots:
    // Stealth and administrator columns follow the account.
    void setUserStatus(const UserStatus &status);
    // Distances are measured from where the user is without the VPN.
    void setOriginalIp(const GeoIp &geoIp);
    // The server of the current connection is highlighted; null for none.
    void setCurrentServer(const VpnServer &server);

private slots:
    void serversLoaded();
    void serversChanged();
    void serverChanged(int index);

private:
    std::unique_ptr<VpnServerModelPrivate> d;
};
