#pragma once

#include "vpn.h"
#include "vpnconfiguration.h"
#include "vpnserver.h"

#include <functional>

// How the connection engine reaches the user: failures, and setting up the tun
// device. The main window provides it; without one, failures are only logged.
class ConnectionFeedback
{
public:
    virtual ~ConnectionFeedback() = default;

    // Shows one connection error; `closed` is called once the user has dismissed it.
    virtual void showConnectionError(const VpnServer &server, const VpnConfiguration &configuration,
                                     const QString &message, const std::function<void()> &closed) = 0;
    // Offers other choices after repeated failures of one protocol family.
    virtual void showVpnFailure(Vpn::Protocol protocol) = 0;
    // Sets up the missing tun device with the user; `finished` is called once with the
    // outcome. While a set-up is open, another call only brings it to the front.
    virtual void setUpTunDevice(const std::function<void(bool success)> &finished) = 0;
};
