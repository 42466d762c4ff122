#pragma once

// The OpenVPN test network of scripts/testnet as a client sees it, shared by the
// end-to-end tests and the connection benchmark: run-in-testnet.sh describes the
// network in the environment, and the provider's account status is made from the
// network's client configurations.

#include "userstatus.h"
#include "vpn.h"
#include "vpnserver.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <utility>

// The test network, as run-in-testnet.sh describes it in the environment.
struct TestNet
{
    QString script;
    QString id;
    QString dir;
    QString serverAddress;
    quint16 udpPort = 0;
    quint16 tcpPort = 0;
    quint16 stealthPort = 0;
    QString udpTunnelServer;
    QString tcpTunnelServer;
    QString user;
    QString password;
    QString udpConf;
    QString tcpConf;
    QString stealthConf;
    // The bare OpenVPN clients' credentials file: the user name, then the password.
    QString clientAuthFile;
    // A name only the DNS server the VPN servers push knows, in the domain they push.
    QString checkName;
    QString checkAddress;

    static TestNet fromEnvironment()
    {
        TestNet net;
        net.script = qEnvironmentVariable("TESTNET_SCRIPT");
        net.id = qEnvironmentVariable("TESTNET_ID");
        net.dir = qEnvironmentVariable("TESTNET_DIR");
        net.serverAddress = qEnvironmentVariable("SERVER_ADDRESS");
        net.udpPort = quint16(qEnvironmentVariableIntValue("UDP_PORT"));
        net.tcpPort = quint16(qEnvironmentVariableIntValue("TCP_PORT"));
        net.stealthPort = quint16(qEnvironmentVariableIntValue("STEALTH_PORT"));
        net.udpTunnelServer = qEnvironmentVariable("UDP_TUNNEL_SERVER");
        net.tcpTunnelServer = qEnvironmentVariable("TCP_TUNNEL_SERVER");
        net.user = qEnvironmentVariable("VPN_USER");
        net.password = qEnvironmentVariable("VPN_PASSWORD");
        net.udpConf = qEnvironmentVariable("CLIENT_UDP_CONF");
        net.tcpConf = qEnvironmentVariable("CLIENT_TCP_CONF");
        net.stealthConf = qEnvironmentVariable("CLIENT_STEALTH_CONF");
        net.clientAuthFile = qEnvironmentVariable("CLIENT_AUTH_FILE");
        net.checkName = qEnvironmentVariable("CHECK_NAME");
        net.checkAddress = qEnvironmentVariable("CHECK_ADDRESS");
        return net;
    }

    bool isValid() const
    {
        return !script.isEmpty() && !id.isEmpty() && !dir.isEmpty() && !serverAddress.isEmpty() && stealthPort
            && !udpTunnelServer.isEmpty() && !tcpTunnelServer.isEmpty() && !user.isEmpty()
            && !password.isEmpty() && !checkName.isEmpty() && !checkAddress.isEmpty()
            && QFileInfo::exists(udpConf) && QFileInfo::exists(tcpConf)
            && QFileInfo::exists(stealthConf);
    }

    // The server as the provider's catalogue lists it; Stealth goes through stunnel.
    VpnServer server() const
    {
        VpnServer server;
        server.setUid(QStringLiteral("e2e-") + id);
        server.setProvider(0);
        server.setHost(serverAddress);
        server.setAddress(serverAddress);
        server.setStealthAddress(serverAddress);
        server.setStealthPort(stealthPort);
        return server;
    }

    // The address of the server's end of the tunnel, reachable only through it.
    QString tunnelServer(Vpn::Protocol protocol) const
    {
        return protocol == Vpn::OpenVpnUdp ? udpTunnelServer : tcpTunnelServer;
    }

    QString subnetPrefix(Vpn::Protocol protocol) const
    {
        const QString server = tunnelServer(protocol);
        return server.left(server.lastIndexOf(QLatin1Char('.')) + 1);
    }
};

// A client configuration of the test network as the provider sends it: the server's
// name (or stunnel's local port) left for the driver to fill in, and no credentials
// file, since the driver answers OpenVPN's password query itself.
inline QByteArray providerConfig(const QString &fileName, Vpn::Protocol protocol)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines;
    const QStringList original = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : original) {
        const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.value(0) == QLatin1String("remote")) {
            lines << (protocol == Vpn::OpenVpnStealth
                    ? QStringLiteral("remote 127.0.0.1 __LOCAL_PORT__")
                    : QStringLiteral("remote __HOST_NAME__ ") + words.value(2));
        } else if (words.value(0) == QLatin1String("auth-user-pass")) {
            lines << QStringLiteral("auth-user-pass");
        } else {
            lines << line;
        }
    }
    return lines.join(QLatin1Char('\n')).toUtf8();
}

// The account status the provider would send, read by the real parser.
inline UserStatus userStatus(const TestNet &net)
{
    const QList<std::pair<Vpn::Protocol, QString>> configs { { Vpn::OpenVpnUdp, net.udpConf },
        { Vpn::OpenVpnTcp, net.tcpConf }, { Vpn::OpenVpnStealth, net.stealthConf } };
    QString xml;
    QXmlStreamWriter writer(&xml);
    writer.writeStartElement(QStringLiteral("user-status"));
    writer.writeAttribute(QStringLiteral("update-interval"), QStringLiteral("300"));
    writer.writeAttribute(QStringLiteral("timestamp"), QString::number(QDateTime::currentSecsSinceEpoch()));
    writer.writeStartElement(QStringLiteral("vpn-account"));
    writer.writeTextElement(QStringLiteral("username"), net.user);
    writer.writeTextElement(QStringLiteral("password"), net.password);
    writer.writeEndElement();
    writer.writeEmptyElement(QStringLiteral("trial"));
    writer.writeStartElement(QStringLiteral("vpn-resources"));
    for (const auto &[protocol, fileName] : configs) {
        writer.writeStartElement(QStringLiteral("vpn-resource"));
        writer.writeAttribute(QStringLiteral("key"), QStringLiteral("config"));
        writer.writeAttribute(QStringLiteral("provider"), QStringLiteral("0"));
        writer.writeAttribute(QStringLiteral("protocol"), Vpn::GetProtocolKey(protocol));
        writer.writeAttribute(QStringLiteral("encoding"), QStringLiteral("UTF-8"));
        writer.writeAttribute(QStringLiteral("file-name"), QStringLiteral("config.ovpn"));
        writer.writeCharacters(QString::fromUtf8(providerConfig(fileName, protocol)));
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndElement();

    QXmlStreamReader reader(xml);
    if (!reader.readNextStartElement())
        return {};
    return UserStatus::fromXml(reader);
}
