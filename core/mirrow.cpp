#include "mirrow.h"

#include <QtGlobal>

namespace Mirrow {

const char *const AddressesVariable = "NOXEL_API_ADDRESSES";

namespace {

NetworkAddress parseEntry(QString entry)
{
    entry = entry.trimmed();
    bool secure = true;
    if (entry.startsWith(QLatin1String("tls://"))) {
        entry.remove(0, 6);
    } else if (entry.startsWith(QLatin1String("tcp://"))) {
        secure = false;
        entry.remove(0, 6);
    }
    const int colon = entry.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return NetworkAddress();
    bool ok = false;
    const uint port = entry.mid(colon + 1).toUInt(&ok, 10);
    if (!ok || port == 0 || port > 0xFFFF)
        return NetworkAddress();
    return NetworkAddress(entry.left(colon), quint16(port), secure, 0);
}

} // namespace

QList<NetworkAddress> GetAddresses()
{
    const QString configured = qEnvironmentVariable(AddressesVariable);
    if (!configured.trimmed().isEmpty()) {
        QList<NetworkAddress> addresses;
        const QStringList entries = configured.split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString &entry : entries) {
            const NetworkAddress address = parseEntry(entry);
            if (!address.isNull())
                addresses.append(address);
        }
        if (!addresses.isEmpty())
            return addresses;
    }
    return {
        NetworkAddress(QStringLiteral("api.noxel.invalid"), 443, true, 0),
        NetworkAddress(QStringLiteral("api2.noxel.invalid"), 1080, true, 0),
        NetworkAddress(QStringLiteral("192.0.2.44"), 443, true, 0),
    };
}

} // namespace Mirrow
