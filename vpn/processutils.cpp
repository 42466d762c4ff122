#include "processutils.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace ProcessUtils {

namespace {

constexpr int PollMs = 50;

QByteArray readProcFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void endWithParent(QProcess *process)
{
    const pid_t parent = ::getpid();
    process->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The program died before the request took hold: nobody would send the signal.
        if (::getppid() != parent)
            ::_exit(127);
    });
}

bool isRunning(qint64 pid)
{
    if (pid <= 0)
        return false;
    // "pid (name) S ...": the state follows the name, which may hold anything.
    const QByteArray stat = readProcFile(pid, "stat");
    const qsizetype nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0 || nameEnd + 2 >= stat.size())
        return false;
    const char state = stat.at(nameEnd + 2);
    return state != 'Z' && state != 'X';
}

bool hasArgument(qint64 pid, const QString &argument)
{
    if (pid <= 0 || argument.isEmpty())
        return false;
    return readProcFile(pid, "cmdline").split('\0').contains(QFile::encodeName(argument));
}

bool waitForEnd(qint64 pid, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (isRunning(pid)) {
        if (clock.elapsed() >= milliseconds)
            return false;
        QThread::msleep(PollMs);
    }
    return true;
}

} // namespace ProcessUtils
