#include "vpnresource.h"

#include "constants.h"
#include "xmlanswer.h"

class VpnResourceData : public QSharedData
{
public:
    bool null = true;
    QString key;
    int provider = 0;
    QString server;
    Vpn::Protocol protocol = Vpn::OpenVpnTcp;
    QString encoding;
    QString fileName;
    QByteArray content;
};

VpnResource::VpnResource()
    : d(new VpnResourceData)
{
}

VpnResource::VpnResource(const VpnResource &other) = default;
VpnResource &VpnResource::operator=(const VpnResource &other) = default;
VpnResource::~VpnResource() = default;

bool VpnResource::isNull() const { return d->null; }
QString VpnResource::key() const { return d->key; }
int VpnResource::provider() const { return d->provider; }
QString VpnResource::server() const { return d->server; }
Vpn::Protocol VpnResource::protocol() const { return d->protocol; }
QString VpnResource::encoding() const { return d->encoding; }
QString VpnResource::fileName() const { return d->fileName; }
QByteArray VpnResource::content() const { return d->content; }

void VpnResource::setKey(const QString &key)
{
    d->key = key;
    d->null = false;
}

void VpnResource::setProvider(int provider)
{
    d->provider = provider;
    d->null = false;
}

void VpnResource::setServer(const QString &server)
{
    d->server = server;
    d->null = false;
}

void VpnResource::setProtocol(Vpn::Protocol protocol)
{
    d->protocol = protocol;
    d->null = false;
}

void VpnResource::setEncoding(const QString &encoding)
{
    d->encoding = encoding;
    d->null = false;
}

void VpnResource::setFileName(const QString &fileName)
{
    d->fileName = fileName;
    d->null = false;
}

void VpnResource::setContent(const QByteArray &content)
{
    d->content = content;
    d->null = false;
}

VpnResource VpnResource::fromXml(QXmlStreamReader &reader)
{
    VpnResource resource;
    resource.d->null = false;
    resource.d->key = XmlAnswer::attribute(reader, QStringLiteral("key"));
    if (XmlAnswer::hasAttribute(reader, QStringLiteral("provider")))
        resource.d->provider = XmlAnswer::intAttribute(reader, QStringLiteral("provider"), 0);
    if (XmlAnswer::hasAttribute(reader, QStringLiteral("server")))
        resource.d->server = XmlAnswer::attribute(reader, QStringLiteral("server"));
    if (XmlAnswer::hasAttribute(reader, QStringLiteral("encoding")))
        resource.d->encoding = XmlAnswer::attribute(reader, QStringLiteral("encoding"));
    resource.d->fileName = XmlAnswer::attribute(reader, QStringLiteral("file-name"));
    // Unlike a protocol key from settings, an unknown one here means OpenVPN over TCP.
    const QString protocol = XmlAnswer::attribute(reader, QStringLiteral("protocol"));
    resource.d->protocol = Vpn::GetValidProtocolKey(protocol).isNull() ? Vpn::OpenVpnTcp : Vpn::GetProtocol(protocol);
    resource.d->content = reader.readElementText().toUtf8();
    return resource;
}
