#pragma once

#include "core_global.h"

#include <QSharedDataPointer>
#include <QString>

class QXmlStreamReader;
class NetworkAddressData;

// One endpoint of the provider's API. Equality looks at host and port only.
class CORE_EXPORT NetworkAddress
{
public:
    NetworkAddress();
    NetworkAddress(const QString &host, quint16 port, bool secure, int failures);
    // Reads the current element: "port" and "secure" attributes, the host as text.
    explicit NetworkAddress(QXmlStreamReader &reader);
    NetworkAddress(const NetworkAddress &other);
    NetworkAddress &operator=(const NetworkAddress &other);
    ~NetworkAddress();

    bool operator==(const NetworkAddress &other) const;
    bool operator!=(const NetworkAddress &other) const { return !(*this == other); }

    QString host() const;
    quint16 port() const;
    bool isSecure() const;
    int failures() const;
    bool isNull() const;

    void setFailures(int failures);
    void incrementFailures();
    void resetFailures();
    void clear();

    QString description() const;

private:
    QSharedDataPointer<NetworkAddressData> d;
};
