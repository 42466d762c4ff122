#include "vpntest.h"

#include "context.h"
#include "core.h"
#include "fixedport.h"
#include "userstatus.h"
#include "winutils.h"

#include <QTcpServer>

namespace VpnTest {

VpnServer server(int n, int provider)
{
    VpnServer server;
    server.setUid(QStringLiteral("s%1").arg(n));
    server.setHost(QStringLiteral("vpn%1.noxel.invalid").arg(n));
    server.setAddress(QStringLiteral("127.0.0.1"));
    server.setStealthAddress(QStringLiteral("127.0.0.1"));
    server.setStealthPort(closedAddress().section(QLatin1Char(':'), 1).toUShort());
    server.setProvider(provider);
    server.setPing(40 + n);
    server.setCapacity(quint16(10 * n));
    return server;
}

VpnConfiguration configuration(Vpn::Protocol protocol, const QString &username, const QString &password)
{
    VpnConfiguration configuration;
    configuration.setProtocol(protocol);
    configuration.setUsername(username);
    configuration.setPassword(password);
    return configuration;
}

VpnResource resource(const QString &key, Vpn::Protocol protocol, const QString &fileName,
    const QByteArray &content, const QString &encoding, int provider)
{
    VpnResource resource;
    resource.setKey(key);
    resource.setProvider(provider);
    resource.setProtocol(protocol);
    resource.setFileName(fileName);
    resource.setContent(content);
    resource.setEncoding(encoding);
    return resource;
}

QList<VpnResource> standardResources()
{
    return {
        resource(QStringLiteral("config"), Vpn::OpenVpnTcp, QStringLiteral("config.ovpn"),
            "client\ndev tun\nproto tcp-client\nremote __HOST_NAME__ 443\n"),
        resource(QStringLiteral("config"), Vpn::OpenVpnUdp, QStringLiteral("config.ovpn"),
            "client\ndev tun\nproto udp\nremote __HOST_NAME__ 1194\n"),
        resource(QStringLiteral("config"), Vpn::OpenVpnStealth, QStringLiteral("config.ovpn"),
            "client\ndev tun\nproto tcp-client\nremote 127.0.0.1 __LOCAL_PORT__\n"),
    };
}

void setResources(Core *core, const QList<VpnResource> &resources)
{
    UserStatus status;
    status.setTimestamp(1700000000);
    status.setVpnResources(resources);
    core->context()->setUserStatus(status);
}

QString stateName(VpnConnection::State state)
{
    switch (state) {
    case VpnConnection::Disconnected:
        return QStringLiteral("Disconnected");
    case VpnConnection::Connecting:
        return QStringLiteral("Connecting");
    case VpnConnection::Connected:
        return QStringLiteral("Connected");
    case VpnConnection::Disconnecting:
        return QStringLiteral("Disconnecting");
    }
    return QStringLiteral("state %1").arg(int(state));
}

QString closedAddress()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return QStringLiteral("127.0.0.1:9");
    return QStringLiteral("127.0.0.1:") + QString::number(server.serverPort());
}

bool waitForFreePort(quint16 port, int milliseconds)
{
    return FixedPort::waitUntilFree(port, milliseconds).free;
}

bool canRunOpenVpnAsChild()
{
    return WinUtils::isRunningAsAdministrator();
}

} // namespace VpnTest
