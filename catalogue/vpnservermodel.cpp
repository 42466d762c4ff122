#include "vpnservermodel.h"

#include "hidpi.h"
#include "stringformat.h"
#include "vpnmanager.h"

#include <QColor>
#include <QFile>
#include <QPixmap>

#include <array>
#include <limits>
#include <utility>

namespace {

constexpr int Unknown = std::numeric_limits<int>::max();
// Six, the stealth column and the two of administrators.
constexpr int MaxColumns = 9;

bool hasStealthEndpoint(const VpnServer &server)
{
    return server.stealthPort() > 0 && !server.stealthAddress().isEmpty();
}

} // namespace

class VpnServerModelPrivate
{
public:
    double scale = 1.0;
    VpnManager *manager = nullptr;
    GeoIp originalIp;
    VpnServer currentServer;
    bool admin = false;
    bool stealth = false;
    int columns = 6;
    // The sort keys by column and row; a column's list is made when it is first asked
    // for, and empty until then.
    std::array<QList<QVariant>, MaxColumns> keys;

    int shift() const { return stealth ? 1 : 0; }

    void dropKeys()
    {
        for (QList<QVariant> &column : keys)
            column.clear();
    }

    int distance(const VpnServer &server) const
    {
        const Coordinate own = originalIp.coord();
        const Coordinate coord = server.location().coord();
        if (!own.isNull() && !coord.isNull())
            return coord.distanceTo(own);
        return server.distance();
    }

    // A country without a picture of its own gets the neutral flag.
    QString flagFile(const QString &code) const
    {
        const int size = scale >= 1.99 ? 32 : (scale >= 1.49 ? 24 : 16);
        const QString pattern = QStringLiteral(":/countries/%1x%1_%2.png");
        const QString file = pattern.arg(size).arg(code.toLower());
        return QFile::exists(file) ? file : pattern.arg(size).arg(QStringLiteral("blank"));
    }
};

VpnServerModel::VpnServerModel(VpnManager *manager, QObject *parent)
    : QAbstractTableModel(parent)
    , d(new VpnServerModelPrivate)
{
    d->scale = mHiDpiFixedFactor3();
    d->manager = manager;
    connect(d->manager, &VpnManager::vpnServersChanged, this, &VpnServerModel::serversLoaded);
    connect(d->manager, &VpnManager::vpnServerChanged, this, &VpnServerModel::serverChanged);
}

VpnServerModel::~VpnServerModel() = default;

int VpnServerModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : d->manager->count();
}

int VpnServerModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : d->columns;
}

int VpnServerModel::countryColumn() const { return 0; }
int VpnServerModel::locationColumn() const { return 1; }
int VpnServerModel::stealthColumn() const { return d->stealth ? 2 : -1; }
int VpnServerModel::serverColumn() const { return 2 + d->shift(); }
int VpnServerModel::freeColumn() const { return 3 + d->shift(); }
int VpnServerModel::pingColumn() const { return 4 + d->shift(); }
int VpnServerModel::distanceColumn() const { return 5 + d->shift(); }
int VpnServerModel::providerColumn() const { return d->admin ? 6 + d->shift() : -1; }
int VpnServerModel::checkColumn() const { return d->admin ? 7 + d->shift() : -1; }

VpnServer VpnServerModel::serverAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= d->manager->count())
        return VpnServer();
    return d->manager->server(index.row());
}

const QList<QVariant> &VpnServerModel::sortKeys(int column) const
{
    static const QList<QVariant> none;
    if (column < 0 || column >= d->columns)
        return none;
    QList<QVariant> &keys = d->keys[column];
    if (keys.size() != rowCount()) {
        keys.clear();
        keys.reserve(rowCount());
        for (int row = 0; row < rowCount(); ++row)
            keys.append(data(index(row, column), Qt::UserRole));
    }
    return keys;
}

QVariant VpnServerModel::data(const QModelIndex &index, int role) const
{
    const VpnServer server = serverAt(index);
    if (server.isNull() || index.column() < 0 || index.column() >= d->columns)
        return QVariant();
    const int column = index.column();
    const int capacity = qint16(server.capacity());
    // Measured only where shown: sorting and filtering ten thousand rows ask for the
    // other columns far more often.
    const auto distance = [this, &server] { return d->distance(server); };

    switch (role) {
    case Qt::DisplayRole:
        if (column == countryColumn())
            return server.country().name();
        if (column == locationColumn())
            return server.location().name();
        if (column == serverColumn())
            return server.address();
        if (column == freeColumn())
            return capacity >= 0 ? QStringLiteral("%1%").arg(capacity) : QString();
        if (column == pingColumn())
            return server.ping() >= 1 ? tr("%1 ms").arg(server.ping()) : QString();
        if (column == distanceColumn()) {
            const int metres = distance();
            return metres > 0 ? tr("%1 km").arg(metres / 1000) : QString();
        }
        if (column == providerColumn())
            return server.vpnProvider().key();
        if (column == checkColumn())
            return StringFormat::dateTime(server.checkTime());
        return QVariant();
    case Qt::UserRole:
        if (column == countryColumn())
            return server.country().name();
        if (column == locationColumn())
            return server.location().name();
        if (column == stealthColumn())
            return hasStealthEndpoint(server);
        if (column == serverColumn())
            return server.address();
        if (column == freeColumn())
            return capacity >= 0 ? capacity : Unknown;
        if (column == pingColumn())
            return server.ping() >= 1 ? server.ping() : Unknown;
        if (column == distanceColumn())
            return distance();
        return QVariant();
    case Qt::DecorationRole:
        if (column == countryColumn()) {
            QPixmap flag(d->flagFile(server.country().code()));
            mAdaptPixmap3(flag);
            return flag;
        }
        if (column == stealthColumn() && hasStealthEndpoint(server))
            return mHiDpiPixmap3(QStringLiteral(":/images/stealth%1.png"), 16, true);
        return QVariant();
    case Qt::ToolTipRole:
        if (column == countryColumn())
            return server.country().code();
        if (column == stealthColumn())
            return tr("Stealth OpenVPN supported");
        return QVariant();
    case Qt::TextAlignmentRole:
        if (column == freeColumn() || column == pingColumn() || column == distanceColumn())
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return QVariant();
    case Qt::ForegroundRole:
        if (column == freeColumn()) {
            const int indicator = qint16(server.capacityIndicator());
            if (indicator >= 100)
                return QColor(0x00, 0x99, 0x00);
            if (indicator >= 50)
                return QColor(0xFF, 0x76, 0x19);
            if (indicator >= 0)
                return QColor(0x99, 0x00, 0x00);
            return QColor(0x00, 0x00, 0x00);
        }
        if (column == pingColumn())
            return QColor(0, 0, 153);
        if (column == distanceColumn())
            return QColor(153, 102, 0);
        if (column == checkColumn()) {
            if (server.checkResult() == 1)
                return QColor(60, 118, 61);
            if (server.checkResult() == 2)
                return QColor(169, 68, 66);
        }
        return QVariant();
    case Qt::BackgroundRole: {
        const VpnServer &current = d->currentServer;
        if (!current.isNull() && current.uid() == server.uid())
            return QColor(217, 237, 247);
        return QVariant();
    }
    default:
        return QVariant();
    }
}

QVariant VpnServerModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == countryColumn())
        return tr("Country");
    if (section == locationColumn())
        return tr("City / Location");
    if (section == stealthColumn())
        return tr("S");
    if (section == serverColumn())
        return tr("Server");
    if (section == freeColumn())
        return tr("Free");
    if (section == pingColumn())
        return tr("Ping");
    if (section == distanceColumn())
        return tr("Distance");
    if (section == providerColumn())
        return tr("P");
    if (section == checkColumn())
        return tr("C");
    return QAbstractTableModel::headerData(section, orientation, role);
}

void VpnServerModel::setUserStatus(const UserStatus &status)
{
    if (status.isNull())
        return;
    if (status.isStealthOpenVpn() == d->stealth && status.hasAdminFlag() == d->admin)
        return;
    beginResetModel();
    d->dropKeys();
    d->stealth = status.isStealthOpenVpn();
    d->admin = status.hasAdminFlag();
    d->columns = 6 + (d->stealth ? 1 : 0) + (d->admin ? 2 : 0);
    endResetModel();
}

void VpnServerModel::setOriginalIp(const GeoIp &geoIp)
{
    d->originalIp = geoIp;
    serversChanged();
}

void VpnServerModel::setCurrentServer(const VpnServer &server)
{
    const VpnServer previous = std::exchange(d->currentServer, server);
    if (!previous.isNull() && previous.uid() != server.uid())
        serverChanged(d->manager->indexOf(previous.uid()));
    if (!server.isNull())
        serverChanged(d->manager->indexOf(server.uid()));
}

void VpnServerModel::serversLoaded()
{
    beginResetModel();
    d->dropKeys();
    endResetModel();
}

void VpnServerModel::serversChanged()
{
    d->dropKeys();
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, d->columns - 1));
}

void VpnServerModel::serverChanged(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    // Kept in step before the proxy re-sorts the row by it.
    for (int column = 0; column < d->columns; ++column) {
        if (row < d->keys[column].size())
            d->keys[column][row] = data(index(row, column), Qt::UserRole);
    }
    emit dataChanged(index(row, 0), index(row, d->columns - 1));
}
