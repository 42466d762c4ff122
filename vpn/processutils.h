#pragma once

#include <QString>
#include <QtGlobal>

class QProcess;

// The programs that carry a tunnel, seen as processes: they end with the program
// that started them, and a later run can tell whether one is still there.
namespace ProcessUtils {

// The started program gets SIGTERM when the thread that starts it ends, as it does
// when this program is killed. Call before start(), on a thread that lives as long
// as the program should.
void endWithParent(QProcess *process);
// Whether pid names a process that has not ended; a zombie has.
bool isRunning(qint64 pid);
// Whether the command line of pid holds argument as one of its words.
bool hasArgument(qint64 pid, const QString &argument);
// Waits until pid has ended, at most milliseconds; true when it has.
bool waitForEnd(qint64 pid, int milliseconds);

} // namespace ProcessUtils
