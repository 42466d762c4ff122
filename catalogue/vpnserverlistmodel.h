#pragma once

#include "vpnserver.h"

#include <QAbstractListModel>

class VpnManager;

// The locations of the catalogue as one column with flags, for selectors.
class VpnServerListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    VpnServerListModel(double scale, VpnManager *manager, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    VpnServer serverAt(int row) const;
    int indexOf(const QString &uid) const;

private slots:
    void serversChanged();
    void serverChanged(int index);

private:
    double scale;
    VpnManager *manager;
};
