#pragma once

#include "ilogmanagerfilter.h"

#include <QReadWriteLock>
#include <QString>

class Context;

// Masks the current server's host and the VPN user name in log lines, so that a
// log the user sends to support does not give them away.
class LogManagerFilter final : public ILogManagerFilter
{
public:
    explicit LogManagerFilter(Context *context);
    ~LogManagerFilter() = default;

    QString filter(const QString &line) override;
    // The host of the VPN server in use; empty when none. Any thread.
    void setCurrentHost(const QString &host);

private:
    Context *context;
    mutable QReadWriteLock lock;
    QString currentHost; // guarded by lock
};
