#pragma once

#include <QString>
#include <QStringList>

// Stand-in programs that only note how they were called, for tests of what the
// client hands to programs it starts (the browser, the updater).
namespace Recorder {

// Writes an executable shell script at `path` that appends its first argument to
// `log`, one line per call.
bool write(const QString &path, const QString &log);
// The lines noted so far; empty when the program was never called.
QStringList lines(const QString &log);

} // namespace Recorder
