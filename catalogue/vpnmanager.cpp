#include "vpnmanager.h"

#include "context.h"
#include "databasemanager.h"
#include "logmanager.h"
#include "networkmanager.h"
#include "ping.h"
#include "servervariables.h"
#include "vpnserversrequest.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QSettings>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

const QString KeyPingUpdateInterval = QStringLiteral("ping_update_interval");
constexpr int DefaultPingInterval = 3600;
constexpr int DefaultRefreshIntervalMs = 6000000;
constexpr int MaximumPendingPings = 3;

int signedCapacity(const VpnServer &server)
{
    return qint16(server.capacity());
}

// The rule both passes of bestServer() rank by.
bool isBetter(const VpnServer &candidate, const VpnServer &best, int optCapacity)
{
    if (best.isNull())
        return true;
    const int capacity = signedCapacity(candidate);
    const int bestCapacity = signedCapacity(best);
    if (candidate.ping() < best.ping() && (capacity >= bestCapacity || capacity >= optCapacity))
        return true;
    return capacity > bestCapacity && candidate.ping() <= best.ping();
}

} // namespace

class VpnManagerPrivate
{
public:
    LogManager *logManager = nullptr;
    Context *context = nullptr;
    NetworkManager *networkManager = nullptr;
    DatabaseManager *database = nullptr;
    std::unique_ptr<Ping> ping;
    // A VPN connection is being made, is up or is being closed.
    bool tunnelActive = false;
    GeoIp originalIp;
    QTimer refreshTimer;
    bool loaded = false;
    QTimer pingTimer;
    bool ready = false;
    int pingInterval = DefaultPingInterval;
    QList<VpnServer> servers;
    QHash<QString, int> indexByUid;
    // Servers may share an address; a ping's answer is for all of them: the first
    // server of each address, and from each server the next one of its address, or -1.
    QHash<QString, int> firstByAddress;
    QList<int> nextOfAddress;
    VpnServersRequest *request = nullptr;
    // The servers measured since the last list went to be stored: that list may hold
    // older measurements of them.
    QSet<QString> pingedSinceStore;
    QStringList pendingPings;

    int variable(const QString &key, int defaultValue) const
    {
        return context->intVariable(key, defaultValue);
    }

    int distanceTo(const VpnServer &server, const Location &location) const
    {
        if (!server.location().isNull() && !location.isNull() && !server.location().coord().isNull()
            && !location.coord().isNull())
            return server.location().coord().distanceTo(location.coord());
        return server.distance();
    }
};

VpnManager::VpnManager(LogManager *logManager, Context *context, NetworkManager *networkManager,
    DatabaseManager *database, QObject *parent)
    : QObject(parent)
    , d(new VpnManagerPrivate)
{
    d->logManager = logManager;
    d->context = context;
    d->networkManager = networkManager;
    d->database = database;
    d->ping = std::make_unique<Ping>(logManager);

    bool ok = false;
    const int interval = QSettings().value(KeyPingUpdateInterval, DefaultPingInterval).toInt(&ok);
    d->pingInterval = ok && interval > 0 ? interval : DefaultPingInterval;

    connect(d->database, &DatabaseManager::serversStored, this, &VpnManager::serversStored);
    connect(d->ping.get(), &Ping::pingCompleted, this, &VpnManager::pingCompleted);
    connect(&d->refreshTimer, &QTimer::timeout, this, &VpnManager::updateVpnServers);
    connect(&d->pingTimer, &QTimer::timeout, this, &VpnManager::updateNextPings);
    d->refreshTimer.setInterval(DefaultRefreshIntervalMs);
    d->pingTimer.setInterval(d->pingInterval * 1000);
}

VpnManager::~VpnManager()
{
    if (d->request && d->networkManager->cancelRequest(d->request))
        delete d->request;
}

void VpnManager::load()
{
    replaceServers(d->database->visibleServers());
}

int VpnManager::count() const
{
    return int(d->servers.size());
}

VpnServer VpnManager::server(int index) const
{
    return index >= 0 && index < d->servers.size() ? d->servers.at(index) : VpnServer();
}

VpnServer VpnManager::serverById(qint64 id) const
{
    const auto it = std::find_if(
        d->servers.cbegin(), d->servers.cend(), [id](const VpnServer &server) { return server.id() == id; });
    return it == d->servers.cend() ? VpnServer() : *it;
}

int VpnManager::indexOf(const QString &uid) const
{
    return d->indexByUid.value(uid, -1);
}

bool VpnManager::hasServers() const
{
    return !d->servers.isEmpty();
}

bool VpnManager::isLoaded() const
{
    return d->loaded;
}

bool VpnManager::isReady() const
{
    return d->ready;
}

int VpnManager::pingInterval() const
{
    return d->pingInterval;
}

bool VpnManager::updateVpnServers()
{
    if (d->request)
        return false;
    d->request = new VpnServersRequest;
    connect(d->request, &Request::requestFinished, this, &VpnManager::vpnServersRequestFinished);
    d->networkManager->addRequest(d->request);
    return true;
}

void VpnManager::vpnServersRequestFinished()
{
    VpnServersRequest *request = d->request;
    d->request = nullptr;
    if (!request)
        return;
    request->deleteLater();
    if (request->isFailed() || !request->isAuthenticated())
        return;
    // Storing ten thousand servers takes longer than the window may wait: the list
    // is shown once it is stored, with its row ids and stored measurements.
    d->pingedSinceStore.clear();
    d->database->storeServers(request->takeServers());
}

void VpnManager::serversStored(const QList<VpnServer> &servers)
{
    // Loaded before the list is announced, so that whoever waited for it finds it so.
    d->loaded = true;
    replaceServers(servers);
    // Tests and the start-up benchmark take this line as "the list is shown".
    d->logManager->addDataWithTimestamp(
        LogManager::GenericLevel, "Server list updated: " + QByteArray::number(servers.size()) + " servers");
    if (!d->refreshTimer.isActive())
        d->refreshTimer.start();
    if (!d->pingTimer.isActive())
        d->pingTimer.start();
}

void VpnManager::replaceServers(const QList<VpnServer> &servers)
{
    d->pendingPings.clear();
    QList<VpnServer> fresh = servers;
    // Servers come from the database with their stored measurements. Those measured
    // since the list went to be stored, and every known server of a list the database
    // could not take (no id), take theirs from here.
    for (qsizetype i = 0; i < fresh.size(); ++i) {
        const VpnServer &server = fresh.at(i);
        if (server.id() != 0 && !d->pingedSinceStore.contains(server.uid()))
            continue;
        const int old = d->indexByUid.value(server.uid(), -1);
        if (old < 0)
            continue;
        const VpnServer &known = d->servers.at(old);
        VpnServer &updated = fresh[i];
        if (updated.id() == 0)
            updated.setId(known.id());
        updated.setPing(known.ping());
        updated.setPingTime(known.pingTime());
    }
    d->pingedSinceStore.clear();
    // A refresh mostly lists the same servers in the same order: the indices stand.
    const bool sameOrder = fresh.size() == d->servers.size()
        && std::equal(
            fresh.cbegin(), fresh.cend(), d->servers.cbegin(), [](const VpnServer &a, const VpnServer &b) {
                return a.uid() == b.uid() && a.address() == b.address();
            });
    d->servers = fresh;
    if (!sameOrder)
        rebuildIndices();
    emit vpnServersChanged();
    QTimer::singleShot(0, this, &VpnManager::updateNextPings);
}

void VpnManager::rebuildIndices()
{
    d->indexByUid.clear();
    d->indexByUid.reserve(d->servers.size());
    d->firstByAddress.clear();
    d->firstByAddress.reserve(d->servers.size());
    d->nextOfAddress.resize(d->servers.size());
    for (int i = 0; i < d->servers.size(); ++i)
        d->indexByUid.insert(d->servers.at(i).uid(), i);
    for (int i = int(d->servers.size()) - 1; i >= 0; --i) {
        const VpnServer &server = d->servers.at(i);
        const auto first = d->firstByAddress.find(server.address());
        if (first == d->firstByAddress.end()) {
            d->nextOfAddress[i] = -1;
            d->firstByAddress.insert(server.address(), i);
        } else {
            d->nextOfAddress[i] = *first;
            *first = i;
        }
    }
}

void VpnManager::setTunnelActive(bool active)
{
    d->tunnelActive = active;
    if (!active)
        QTimer::singleShot(0, this, &VpnManager::updateNextPings);
}

void VpnManager::setOriginalIp(const GeoIp &geoIp)
{
    d->originalIp = geoIp;
}

void VpnManager::updateNextPings()
{
    if (!d->pendingPings.isEmpty())
        return;
    if (d->ready && d->tunnelActive)
        return;

    // Oldest measurement first, servers never measured before all others.
    constexpr qint64 Never = std::numeric_limits<qint64>::min();
    QList<QPair<qint64, int>> order;
    order.reserve(d->servers.size());
    for (int i = 0; i < d->servers.size(); ++i) {
        const QDateTime measured = d->servers.at(i).pingTime();
        order.append({ measured.isNull() ? Never : measured.toMSecsSinceEpoch(), i });
    }
    std::stable_sort(order.begin(), order.end(),
        [](const QPair<qint64, int> &a, const QPair<qint64, int> &b) { return a.first < b.first; });
    const qint64 threshold = QDateTime::currentDateTime().addSecs(-d->pingInterval).toMSecsSinceEpoch();
    for (const auto &[measured, index] : std::as_const(order)) {
        const VpnServer &server = d->servers.at(index);
        if (d->pendingPings.size() >= MaximumPendingPings)
            break;
        if (measured != Never && measured > threshold) {
            // Ready once the pings of this round are in, not while they are out.
            if (!d->ready && d->pendingPings.isEmpty()) {
                d->ready = true;
                emit readyConnect();
            }
            break;
        }
        if (d->pendingPings.contains(server.address()))
            continue;
        d->pendingPings.append(server.address());
        d->ping->ping(server.address());
    }
}

void VpnManager::pingCompleted(const QString &host, int msecs)
{
    d->pendingPings.removeAll(host);
    for (int i = d->firstByAddress.value(host, -1); i >= 0; i = d->nextOfAddress.at(i)) {
        d->database->setPing(d->servers[i], msecs);
        d->pingedSinceStore.insert(d->servers.at(i).uid());
        emit vpnServerChanged(i);
    }
    if (d->pendingPings.isEmpty())
        QTimer::singleShot(0, this, &VpnManager::updateNextPings);
}

void VpnManager::variablesUpdated()
{
    const int interval = d->variable(VAR_PING_UPDATE_INTERVAL, DefaultPingInterval);
    if (interval > 0 && interval != d->pingInterval) {
        d->pingInterval = interval;
        QSettings settings;
        settings.setValue(KeyPingUpdateInterval, interval);
        settings.sync();
    }
    int refresh = d->variable(VAR_VPN_SERVERS_UPDATE_INTERVAL, 0) * 1000;
    if (refresh <= 0)
        refresh = DefaultRefreshIntervalMs;
    if (refresh != d->refreshTimer.interval())
        d->refreshTimer.setInterval(refresh);
    if (d->pingInterval * 1000 != d->pingTimer.interval())
        d->pingTimer.setInterval(d->pingInterval * 1000);
}

VpnServer VpnManager::bestServer() const
{
    const int minCapacity = d->variable(VAR_MIN_CAPACITY, 40);
    const int optCapacity = d->variable(VAR_OPT_CAPACITY, 80);
    const int minPing = d->variable(VAR_MIN_PING, 50);
    VpnServer best;
    for (const VpnServer &server : std::as_const(d->servers)) {
        if (server.ping() >= 1 && signedCapacity(server) >= minCapacity && server.ping() <= minPing
            && isBetter(server, best, optCapacity))
            best = server;
    }
    if (!best.isNull())
        return best;
    for (const VpnServer &server : std::as_const(d->servers)) {
        if (server.ping() >= 1 && isBetter(server, best, optCapacity))
            best = server;
    }
    return best;
}

VpnServer VpnManager::nearestServer() const
{
    const GeoIp own = d->originalIp;
    if (own.isNull() || own.coord().isNull())
        return VpnServer();
    Location location;
    location.setCoord(own.coord());
    VpnServer nearest;
    int nearestDistance = 0;
    for (const VpnServer &server : std::as_const(d->servers)) {
        const int distance = d->distanceTo(server, location);
        if (distance > 0 && (nearest.isNull() || distance < nearestDistance)) {
            nearest = server;
            nearestDistance = distance;
        }
    }
    return nearest;
}

bool VpnManager::isAcceptable(const VpnServer &server) const
{
    if (server.isNull())
        return false;
    if (server.ping() > 0 && server.ping() > d->variable(VAR_MIN_PING, 50))
        return false;
    if (signedCapacity(server) < 0)
        return true;
    return signedCapacity(server) >= d->variable(VAR_MIN_CAPACITY, 40);
}

VpnServer VpnManager::alternativeServer(const VpnServer &server) const
{
    const Location location = server.location();
    if (location.isNull())
        return VpnServer();
    const int minPing = d->variable(VAR_MIN_PING, 50);
    const int minCapacity = d->variable(VAR_MIN_CAPACITY, 40);
    VpnServer alternative;
    int alternativeDistance = 0;
    for (const VpnServer &candidate : std::as_const(d->servers)) {
        if (candidate.uid() == server.uid())
            continue;
        const int distance = d->distanceTo(candidate, location);
        if (distance < 0 || candidate.ping() > minPing || signedCapacity(candidate) < minCapacity)
            continue;
        if (alternative.isNull() || distance < alternativeDistance) {
            alternative = candidate;
            alternativeDistance = distance;
        }
    }
    return alternative;
}
