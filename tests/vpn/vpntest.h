#pragma once

#include "vpn.h"
#include "vpnconfiguration.h"
#include "vpnconnection.h"
#include "vpnresource.h"
#include "vpnserver.h"

#include <QList>
#include <QString>

class Core;

// Servers, accounts and provider resources the connection tests dial with. Every
// address is on loopback; host names end in .invalid and are never resolved.
namespace VpnTest {

const QString UserName = QStringLiteral("noxel-user-7f3a");
const QString Password = QStringLiteral("pw-9c1e-secret");

// uid "s<n>", host "vpn<n>.noxel.invalid", the stealth port a closed loopback port.
VpnServer server(int n = 1, int provider = 1);
VpnConfiguration configuration(
    Vpn::Protocol protocol, const QString &username = UserName, const QString &password = Password);
VpnResource resource(const QString &key, Vpn::Protocol protocol, const QString &fileName,
    const QByteArray &content, const QString &encoding = QStringLiteral("text"), int provider = 1);
// config.ovpn for OpenVPN over TCP, UDP and Stealth of provider 1.
QList<VpnResource> standardResources();
// Gives the core's context an account status that carries the resources.
void setResources(Core *core, const QList<VpnResource> &resources);

QString stateName(VpnConnection::State state);
// "127.0.0.1:<port>" of a loopback port nobody listens on.
QString closedAddress();
// Whether 127.0.0.1:port could be bound within the time; a stand-in may still be ending.
// Where a taken port should skip the test rather than fail it: NOXEL_WAIT_FOR_FIXED_PORT.
bool waitForFreePort(quint16 port, int milliseconds = 10000);
// Root runs OpenVPN as a child; others go through the privileged service.
bool canRunOpenVpnAsChild();

} // namespace VpnTest

// For a test that starts the stand-in openvpn: only root starts it as a child.
#define NOXEL_REQUIRE_OPENVPN_CHILD()                                                                        \
    do {                                                                                                     \
        if (!VpnTest::canRunOpenVpnAsChild())                                                                \
            QSKIP(                                                                                           \
                "The driver starts openvpn itself only as root; otherwise it asks the privileged service."); \
    } while (false)
