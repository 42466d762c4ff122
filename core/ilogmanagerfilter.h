#pragma once

#include "core_global.h"

#include <QString>

// Rewrites a log line before it is stored, for example to mask personal data.
class CORE_EXPORT ILogManagerFilter
{
public:
    ILogManagerFilter() = default;
    ILogManagerFilter(const ILogManagerFilter &) = default;

    virtual QString filter(const QString &line) = 0;

protected:
    ~ILogManagerFilter() = default;
};
