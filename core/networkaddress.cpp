#include "networkaddress.h"

#include <QXmlStreamReader>

class NetworkAddressData : public QSharedData
{
public:
    bool null = true;
    QString host;
    quint16 port = 0;
    bool secure = false;
    int failures = 0;
};

NetworkAddress::NetworkAddress()
    : d(new NetworkAddressData)
{
}

NetworkAddress::NetworkAddress(const QString &host, quint16 port, bool secure, int failures)
    : d(new NetworkAddressData)
{
    d->null = false;
    d->host = host;
    d->port = port;
    d->secure = secure;
    d->failures = failures;
}

NetworkAddress::NetworkAddress(QXmlStreamReader &reader)
    : d(new NetworkAddressData)
{
    const QXmlStreamAttributes attributes = reader.attributes();
    if (attributes.hasAttribute(QLatin1String("port"))) {
        bool ok = false;
        const uint port = attributes.value(QLatin1String("port")).toUInt(&ok, 10);
        d->port = ok && port <= 0xFFFF ? quint16(port) : 0;
    }
    if (attributes.hasAttribute(QLatin1String("secure")))
        d->secure = attributes.value(QLatin1String("secure")).toString().toLower() == QLatin1String("true");
    d->host = reader.readElementText();
    d->null = false;
}

NetworkAddress::NetworkAddress(const NetworkAddress &other) = default;
NetworkAddress &NetworkAddress::operator=(const NetworkAddress &other) = default;
NetworkAddress::~NetworkAddress() = default;

bool NetworkAddress::operator==(const NetworkAddress &other) const
{
    return d->host == other.d->host && d->port == other.d->port;
}

QString NetworkAddress::host() const { return d->host; }
quint16 NetworkAddress::port() const { return d->port; }
bool NetworkAddress::isSecure() const { return d->secure; }
int NetworkAddress::failures() const { return d->failures; }
bool NetworkAddress::isNull() const { return d->null; }

void NetworkAddress::setFailures(int failures)
{
    d->failures = failures;
    d->null = false;
}

void NetworkAddress::incrementFailures() { ++d->failures; }
void NetworkAddress::resetFailures() { d->failures = 0; }

void NetworkAddress::clear()
{
    d = new NetworkAddressData;
}

QString NetworkAddress::description() const
{
    return (d->secure ? QStringLiteral("tls://") : QString()) + d->host + QLatin1Char(':')
        + QString::number(d->port);
}
