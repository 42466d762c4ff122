#pragma once

#include "vpnconfiguration.h"
#include "vpnconnection.h"
#include "vpnserver.h"

#include <QObject>
#include <QString>

#include <memory>

class LogManager;
class RasVpnPrivate;

// PPTP and L2TP connections, seen from the GUI thread. The dialing happens on a
// worker thread of its own; its signals arrive here queued.
class RasVpn : public QObject
{
    Q_OBJECT

public:
    explicit RasVpn(LogManager *logManager, QObject *parent = nullptr);
    ~RasVpn() override;

    // Starts an attempt with the server and the configuration; its outcome comes
    // by the signals. Dropped on the worker thread while another attempt is in
    // progress or its connection is up.
    bool dial(const VpnServer &server, const VpnConfiguration &configuration);
    void hangUp();

signals:
    void stateChanged(VpnConnection::State state);
    // Bytes since the previous report, once a second while connected.
    void byteCount(qlonglong in, qlonglong out);
    // An attempt that never connected; stateChanged(Disconnected) follows.
    void connectionError(
        const VpnServer &server, const VpnConfiguration &config, const QString &errorMessage);

private:
    std::unique_ptr<RasVpnPrivate> d;
};
