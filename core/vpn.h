#pragma once

#include "core_global.h"

#include <QString>

namespace Vpn {

// The numbering is stored in the database and in settings; never renumber. The
// underlying type is fixed so that any number read back is a value of the type,
// which the functions below answer with empty texts when it is none of these.
enum Protocol : int {
    OpenVpnTcp = 0,
    OpenVpnUdp = 1,
    L2tp = 2,
    Pptp = 3,
    OpenVpnStealth = 4,
};

CORE_EXPORT Protocol GetProtocol(const QString &key);
CORE_EXPORT QString GetProtocolKey(Protocol protocol);
CORE_EXPORT QString GetProtocolDisplayName(Protocol protocol);
// The key itself when it is one of the five protocol keys, a null string otherwise.
CORE_EXPORT QString GetValidProtocolKey(const QString &key);

} // namespace Vpn
