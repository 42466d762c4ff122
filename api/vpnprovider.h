#pragma once

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class VpnProviderData;

// The operator of a VPN server, by its key.
class VpnProvider
{
public:
    VpnProvider();
    VpnProvider(const VpnProvider &other);
    VpnProvider &operator=(const VpnProvider &other);
    ~VpnProvider();

    bool isNull() const;
    QString key() const;

    void setKey(const QString &key);

private:
    QSharedDataPointer<VpnProviderData> d;
};

Q_DECLARE_METATYPE(VpnProvider)
