#pragma once

#include "vpn.h"

#include <QByteArray>
#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class QXmlStreamReader;
class VpnResourceData;

// A file a protocol driver needs for one provider's servers, such as a part of an
// OpenVPN configuration.
class VpnResource
{
public:
    VpnResource();
    VpnResource(const VpnResource &other);
    VpnResource &operator=(const VpnResource &other);
    ~VpnResource();

    bool isNull() const;
    QString key() const;
    int provider() const;
    QString server() const;
    Vpn::Protocol protocol() const;
    QString encoding() const;
    QString fileName() const;
    QByteArray content() const;

    void setKey(const QString &key);
    void setProvider(int provider);
    void setServer(const QString &server);
    void setProtocol(Vpn::Protocol protocol);
    void setEncoding(const QString &encoding);
    void setFileName(const QString &fileName);
    void setContent(const QByteArray &content);

    static VpnResource fromXml(QXmlStreamReader &reader);

private:
    QSharedDataPointer<VpnResourceData> d;
};

Q_DECLARE_METATYPE(VpnResource)
