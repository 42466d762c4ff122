#pragma once

#include "core_global.h"

#include <QString>

class LogManager;

namespace WinUtils {

// Sends one ICMP echo without payload to host (a dotted IPv4 address, or a name
// to resolve) and waits up to timeoutMs for the answer. Returns the round trip
// in whole milliseconds, at least 1 for any answer, or -1 when the host does not
// resolve, does not answer in time, or no ICMP socket can be had here (which the
// log then says). Blocks the calling thread.
CORE_EXPORT int pingHost(const QString &host, LogManager *log, int timeoutMs = 1000);

} // namespace WinUtils
