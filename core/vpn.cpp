#include "vpn.h"

#include "constants.h"

namespace Vpn {

namespace {

struct ProtocolInfo
{
    Protocol protocol;
    const QString &key;
    const char *displayName;
};

const ProtocolInfo protocols[] = {
    {OpenVpnTcp, PROTOCOL_KEY_OPENVPN_TCP, "OpenVPN (TCP)"},
    {OpenVpnUdp, PROTOCOL_KEY_OPENVPN_UDP, "OpenVPN (UDP)"},
    {L2tp, PROTOCOL_KEY_L2TP, "L2TP"},
    {Pptp, PROTOCOL_KEY_PPTP, "PPTP"},
    {OpenVpnStealth, PROTOCOL_KEY_OPENVPN_STEALTH, "OpenVPN (Stealth)"},
};

const ProtocolInfo *find(Protocol protocol)
{
    for (const ProtocolInfo &info : protocols) {
        if (info.protocol == protocol)
            return &info;
    }
    return nullptr;
}

} // namespace

Protocol GetProtocol(const QString &key)
{
    for (const ProtocolInfo &info : protocols) {
        if (info.key == key)
            return info.protocol;
    }
    return OpenVpnUdp;
}

QString GetProtocolKey(Protocol protocol)
{
    const ProtocolInfo *info = find(protocol);
    return info ? info->key : QString(QLatin1String(""));
}

QString GetProtocolDisplayName(Protocol protocol)
{
    const ProtocolInfo *info = find(protocol);
    return info ? QString::fromLatin1(info->displayName) : QString(QLatin1String(""));
}

QString GetValidProtocolKey(const QString &key)
{
    for (const ProtocolInfo &info : protocols) {
        if (info.key == key)
            return key;
    }
    return QString();
}

} // namespace Vpn
