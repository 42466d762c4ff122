#pragma once

#include "ilogmanagerfilter.h"

class Core;

// Masks the current server's host and the VPN user name in log lines, so that a
// log the user sends to support does not give them away.
class LogManagerFilter : public ILogManagerFilter
{
public:
    explicit LogManagerFilter(Core *core);
    ~LogManagerFilter() = default;

    QString filter(const QString &line) override;

private:
    Core *core;
};
