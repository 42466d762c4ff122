#include "vpnclient.h"

#include "connectionstat.h"
#include "core.h"
#include "logmanager.h"

#include <QList>
#include <QReadWriteLock>

class VpnClientPrivate
{
public:
    Core *core = nullptr;
    mutable QReadWriteLock lock;
    VpnServer currentServer;
    // Statistics rows not yet handed to a request.
    QList<ConnectionStat> stats;
};

VpnClient::VpnClient(Core *core)
    : QObject(core)
    , d(new VpnClientPrivate)
{
    d->core = core;
}

VpnClient::~VpnClient() = default;

VpnServer VpnClient::currentServer() const
{
    QReadLocker locker(&d->lock);
    return d->currentServer;
}

void VpnClient::reportConnectivityFailure()
{
    QWriteLocker locker(&d->lock);
    if (d->currentServer.isNull())
        return;
    for (ConnectionStat &stat : d->stats) {
        if (stat.serverUid() != d->currentServer.uid())
            continue;
        stat.setStatus(ConnectionStat::Broken);
        stat.setText(d->core->logManager()->latest(stat.protocol()));
    }
}
