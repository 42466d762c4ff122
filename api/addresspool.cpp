#include "addresspool.h"

#include "mirrow.h"

#include <QSettings>

namespace {

const QString KeyAddresses = QStringLiteral("addresses");
const QString KeyHost = QStringLiteral("host");
const QString KeyPort = QStringLiteral("port");
const QString KeySecure = QStringLiteral("secure");
const QString KeyFailures = QStringLiteral("failures");

} // namespace

AddressPool::AddressPool()
{
    const QList<NetworkAddress> builtIn = Mirrow::GetAddresses();
    defaultAddress = builtIn.first();

    QSettings settings;
    const int count = settings.beginReadArray(KeyAddresses);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        bool ok = false;
        const uint port = settings.value(KeyPort, 0).toUInt(&ok);
        const NetworkAddress address(settings.value(KeyHost).toString(), ok && port <= 0xFFFF ? quint16(port) : 0,
                                     settings.value(KeySecure, false).toBool(),
                                     settings.value(KeyFailures, 0).toInt());
        if (address.host().isEmpty() || address.port() == 0)
            continue;
        if (address == defaultAddress)
            defaultAddress.setFailures(address.failures());
        else
            rotation.append(address);
    }
    settings.endArray();

    if (rotation.isEmpty())
        rotation = builtIn;
    else
        rotation.prepend(defaultAddress);
}

NetworkAddress AddressPool::current()
{
    if (currentAddress.isNull()) {
        currentAddress = rotation.isEmpty() ? defaultAddress : rotation.takeFirst();
        save();
    }
    return currentAddress;
}

NetworkAddress AddressPool::next()
{
    if (!currentAddress.isNull() && !rotation.contains(currentAddress))
        rotation.append(currentAddress);
    currentAddress = rotation.isEmpty() ? defaultAddress : rotation.takeFirst();
    save();
    return currentAddress;
}

void AddressPool::markFailure()
{
    if (!currentAddress.isNull())
        currentAddress.incrementFailures();
}

void AddressPool::markSuccess()
{
    if (!currentAddress.isNull())
        currentAddress.resetFailures();
}

void AddressPool::setAddresses(const QList<NetworkAddress> &addresses)
{
    rotation.clear();
    for (const NetworkAddress &address : addresses) {
        if (!address.host().isEmpty() && address.port() != 0 && !rotation.contains(address))
            rotation.append(address);
    }
    if (!rotation.contains(defaultAddress))
        rotation.append(defaultAddress);
    save();
}

QList<NetworkAddress> AddressPool::addresses() const
{
    QList<NetworkAddress> all = rotation;
    if (!currentAddress.isNull() && !all.contains(currentAddress))
        all.prepend(currentAddress);
    return all;
}

void AddressPool::save() const
{
    const QList<NetworkAddress> all = addresses();
    QSettings settings;
    settings.remove(KeyAddresses);
    settings.beginWriteArray(KeyAddresses, int(all.size()));
    for (int i = 0; i < all.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(KeyHost, all.at(i).host());
        settings.setValue(KeyPort, int(all.at(i).port()));
        settings.setValue(KeySecure, all.at(i).isSecure());
        settings.setValue(KeyFailures, all.at(i).failures());
    }
    settings.endArray();
    settings.sync();
}
