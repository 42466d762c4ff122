#pragma once

#include "vpn.h"
#include "vpnconfiguration.h"
#include "vpnserver.h"

#include <functional>

// How the connection controller tells the user about failures; the main window
// provides it. Without one, failures are only logged.
class ConnectionFeedback
{
public:
    virtual ~ConnectionFeedback() = default;

    // Shows one connection error; `closed` is called once the user has dismissed it.
    virtual void showConnectionError(const VpnServer &server, const VpnConfiguration &configuration,
                                     const QString &message, const std::function<void()> &closed) = 0;
    // Offers other choices after repeated failures of one protocol family.
    virtual void showVpnFailure(Vpn::Protocol protocol) = 0;
};
