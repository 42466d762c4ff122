#pragma once

#include "vpnconfiguration.h"
#include "vpnconnection.h"
#include "vpnserver.h"

#include <QObject>
#include <QString>

#include <memory>

class LogManager;
class RasDialerImplPrivate;

// Dials PPTP and L2TP with pppd, on the dialer's worker thread: PPTP as pppd with
// pptp for its pty, L2TP as xl2tpd (after IPsec where strongSwan is installed),
// which starts pppd itself. pppd's messages go to the RAS log and decide the state.
// The slots run on the worker thread; setDialParameters() may be called from any.
class RasDialerImpl : public QObject
{
    Q_OBJECT

public:
    explicit RasDialerImpl(LogManager *logManager);
    // Stops whatever runs and removes the files, without a signal.
    ~RasDialerImpl() override;

    // What the next dialInternal() dials.
    void setDialParameters(const VpnServer &server, const VpnConfiguration &configuration);

signals:
    void stateChanged(VpnConnection::State state);
    // Bytes since the previous report, once a second while connected.
    void byteCount(qlonglong in, qlonglong out);
    // An attempt that never connected; stateChanged(Disconnected) follows.
    void connectionError(
        const VpnServer &server, const VpnConfiguration &config, const QString &errorMessage);

public slots:
    // Dropped while an attempt is in progress or its connection is up.
    void dialInternal();
    void hangUpInternal();
    // Once a second from the moment pppd names its interface: till Connected it
    // watches the interface gain an address, then it reports the traffic.
    void updateConnectionStats();

private:
    std::unique_ptr<RasDialerImplPrivate> d;
};
