#include "vpnserver.h"

#include "localtimereader.h"
#include "xmlanswer.h"

class VpnServerData : public QSharedData
{
public:
    bool null = true;
    qint64 id = 0;
    QString uid;
    int provider = 0;
    Country country;
    Location location;
    QString host;
    QString address;
    QString stealthAddress;
    quint16 stealthPort = 0;
    quint16 capacity = VpnServer::UnknownCapacity;
    quint16 capacityIndicator = VpnServer::UnknownCapacity;
    int ping = -1;
    int distance = -1;
    QDateTime connectionTime;
    QDateTime pingTime;
    VpnProvider vpnProvider;
    int checkResult = 0;
    QDateTime checkTime;
};

VpnServer::VpnServer()
    : d(new VpnServerData)
{
}

VpnServer::VpnServer(const VpnServer &other) = default;
VpnServer &VpnServer::operator=(const VpnServer &other) = default;
VpnServer::~VpnServer() = default;

bool VpnServer::isNull() const { return d->null; }
qint64 VpnServer::id() const { return d->id; }
QString VpnServer::uid() const { return d->uid; }
int VpnServer::provider() const { return d->provider; }
Country VpnServer::country() const { return d->country; }
Location VpnServer::location() const { return d->location; }
QString VpnServer::host() const { return d->host; }
QString VpnServer::address() const { return d->address; }
QString VpnServer::stealthAddress() const { return d->stealthAddress; }
quint16 VpnServer::stealthPort() const { return d->stealthPort; }
quint16 VpnServer::capacity() const { return d->capacity; }
quint16 VpnServer::capacityIndicator() const { return d->capacityIndicator; }
int VpnServer::ping() const { return d->ping; }
int VpnServer::distance() const { return d->distance; }
QDateTime VpnServer::connectionTime() const { return d->connectionTime; }
QDateTime VpnServer::pingTime() const { return d->pingTime; }
VpnProvider VpnServer::vpnProvider() const { return d->vpnProvider; }
int VpnServer::checkResult() const { return d->checkResult; }
QDateTime VpnServer::checkTime() const { return d->checkTime; }

void VpnServer::setId(qint64 id)
{
    d->id = id;
    d->null = false;
}

void VpnServer::setUid(const QString &uid)
{
    d->uid = uid;
    d->null = false;
}

void VpnServer::setProvider(int provider)
{
    d->provider = provider;
    d->null = false;
}

void VpnServer::setCountry(const Country &country)
{
    d->country = country;
    d->null = false;
}

void VpnServer::setLocation(const Location &location)
{
    d->location = location;
    d->null = false;
}

void VpnServer::setHost(const QString &host)
{
    d->host = host;
    d->null = false;
}

void VpnServer::setAddress(const QString &address)
{
    d->address = address;
    d->null = false;
}

void VpnServer::setStealthAddress(const QString &stealthAddress)
{
    d->stealthAddress = stealthAddress;
    d->null = false;
}

void VpnServer::setStealthPort(quint16 stealthPort)
{
    d->stealthPort = stealthPort;
    d->null = false;
}

void VpnServer::setCapacity(quint16 capacity)
{
    d->capacity = capacity;
    d->null = false;
}

void VpnServer::setCapacityIndicator(quint16 capacityIndicator)
{
    d->capacityIndicator = capacityIndicator;
    d->null = false;
}

void VpnServer::setPing(int ping)
{
    d->ping = ping;
    d->null = false;
}

void VpnServer::setDistance(int distance)
{
    d->distance = distance;
    d->null = false;
}

void VpnServer::setConnectionTime(const QDateTime &connectionTime)
{
    d->connectionTime = connectionTime;
    d->null = false;
}

void VpnServer::setPingTime(const QDateTime &pingTime)
{
    d->pingTime = pingTime;
    d->null = false;
}

void VpnServer::setVpnProvider(const VpnProvider &vpnProvider)
{
    d->vpnProvider = vpnProvider;
    d->null = false;
}

void VpnServer::setCheckResult(int checkResult)
{
    d->checkResult = checkResult;
    d->null = false;
}

void VpnServer::setCheckTime(const QDateTime &checkTime)
{
    d->checkTime = checkTime;
    d->null = false;
}

namespace {

quint16 unsignedValue(QStringView text, quint16 defaultValue)
{
    bool ok = false;
    const ushort value = text.toUShort(&ok, 10);
    return ok ? value : defaultValue;
}

int intValue(QStringView text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

VpnServer VpnServer::fromXml(QXmlStreamReader &reader)
{
    LocalTimeReader times;
    return fromXml(reader, times);
}

VpnServer VpnServer::fromXml(QXmlStreamReader &reader, LocalTimeReader &times)
{
    VpnServer server;
    VpnServerData &data = *server.d;
    data.null = false;
    // The attributes are looked at in one copy of their list, let go before the
    // reader moves on (it would copy them otherwise).
    {
        const QXmlStreamAttributes attributes = reader.attributes();
        data.uid = attributes.value(QLatin1String("uid")).toString();
        data.capacity = unsignedValue(attributes.value(QLatin1String("capacity")), UnknownCapacity);
        const QStringView provider = attributes.value(QLatin1String("provider"));
        if (!provider.isNull())
            data.provider = intValue(provider);
        data.capacityIndicator
            = unsignedValue(attributes.value(QLatin1String("capacity-indicator")), UnknownCapacity);
    }
    XmlAnswer::readUntilEnd(reader, QStringLiteral("vpn-server"), [&data, &times](QXmlStreamReader &reader) {
        const QStringView name = reader.name();
        if (name == QLatin1String("host")) {
            data.host = reader.readElementText();
        } else if (name == QLatin1String("address")) {
            data.address = reader.readElementText();
        } else if (name == QLatin1String("location")) {
            data.location = Location::fromXml(reader);
        } else if (name == QLatin1String("country")) {
            data.country = Country::fromXml(reader);
        } else if (name == QLatin1String("stealth")) {
            const QXmlStreamAttributes attributes = reader.attributes();
            const QStringView address = attributes.value(QLatin1String("address"));
            if (!address.isNull())
                data.stealthAddress = address.toString();
            data.stealthPort = unsignedValue(attributes.value(QLatin1String("port")), data.stealthPort);
        } else if (name == QLatin1String("check")) {
            const QXmlStreamAttributes attributes = reader.attributes();
            const QStringView time = attributes.value(QLatin1String("ts"));
            if (!time.isNull())
                data.checkTime = times.read(time);
            data.checkResult = intValue(attributes.value(QLatin1String("result")));
        } else if (name == QLatin1String("vpn-provider")) {
            data.vpnProvider.setKey(reader.attributes().value(QLatin1String("key")).toString());
        }
    });
    return server;
}
