#include "vpnserverlistmodel.h"

#include "hidpi.h"
#include "vpnmanager.h"

#include <QFile>
#include <QPixmap>

VpnServerListModel::VpnServerListModel(double scale, VpnManager *manager, QObject *parent)
    : QAbstractListModel(parent)
    , scale(scale)
    , manager(manager)
{
    connect(manager, &VpnManager::vpnServersChanged, this, &VpnServerListModel::serversChanged);
    connect(manager, &VpnManager::vpnServerChanged, this, &VpnServerListModel::serverChanged);
}

int VpnServerListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : manager->count();
}

VpnServer VpnServerListModel::serverAt(int row) const
{
    return manager->server(row);
}

int VpnServerListModel::indexOf(const QString &uid) const
{
    return manager->indexOf(uid);
}

QVariant VpnServerListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= manager->count())
        return QVariant();
    const VpnServer server = manager->server(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::UserRole:
        return server.location().name();
    case Qt::DecorationRole: {
        const int size = scale >= 1.99 ? 32 : (scale >= 1.49 ? 24 : 16);
        const QString pattern = QStringLiteral(":/countries/%1x%1_%2.png");
        QString file = pattern.arg(size).arg(server.country().code().toLower());
        // A country without a picture of its own gets the neutral flag.
        if (!QFile::exists(file))
            file = pattern.arg(size).arg(QStringLiteral("blank"));
        QPixmap flag(file);
        me_adapt_pixmap(flag, scale, 16, 16);
        return flag;
    }
    default:
        return QVariant();
    }
}

void VpnServerListModel::serversChanged()
{
    beginResetModel();
    endResetModel();
}

void VpnServerListModel::serverChanged(int row)
{
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row), index(row));
}
