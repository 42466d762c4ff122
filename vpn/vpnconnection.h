#pragma once

#include "vpnconfiguration.h"
#include "vpnserver.h"

#include <QMetaType>
#include <QSharedDataPointer>

class VpnConnectionData;

// One connection: its state, the server and what it dials with.
class VpnConnection
{
public:
    // A state of 1 or more means something is in progress or up.
    enum State {
        Disconnected = 0,
        Connecting = 1,
        Connected = 2,
        Disconnecting = 3,
    };

    VpnConnection();
    VpnConnection(const VpnConnection &other);
    VpnConnection &operator=(const VpnConnection &other);
    ~VpnConnection();

    bool isNull() const;
    State state() const;
    VpnServer server() const;
    VpnConfiguration configuration() const;

    void setState(State state);
    void setServer(const VpnServer &server);
    void setConfiguration(const VpnConfiguration &configuration);

private:
    QSharedDataPointer<VpnConnectionData> d;
};

Q_DECLARE_METATYPE(VpnConnection)
Q_DECLARE_METATYPE(VpnConnection::State)
