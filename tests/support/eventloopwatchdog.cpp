#include "eventloopwatchdog.h"

#include <QFile>

namespace {

constexpr int IntervalMs = 5;

} // namespace

EventLoopWatchdog::EventLoopWatchdog(QObject *parent)
    : QObject(parent)
{
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(IntervalMs);
    connect(&heartbeat, &QTimer::timeout, this, &EventLoopWatchdog::beat);
}

void EventLoopWatchdog::start()
{
    longestNs = 0;
    longestStage.clear();
    clock.start();
    lastBeatNs = clock.nsecsElapsed();
    lastWaitNs = runQueueWaitNs();
    heartbeat.start();
}

void EventLoopWatchdog::stop()
{
    beat();
    heartbeat.stop();
}

void EventLoopWatchdog::setStage(const QString &name)
{
    stage = name;
}

qint64 EventLoopWatchdog::longestBlockMs() const
{
    return longestNs / 1000000;
}

QString EventLoopWatchdog::longestBlockStage() const
{
    return longestStage;
}

bool EventLoopWatchdog::countsRunQueueWait()
{
    return QFile::exists(QStringLiteral("/proc/thread-self/schedstat"));
}

void EventLoopWatchdog::beat()
{
    const qint64 now = clock.nsecsElapsed();
    const qint64 wait = runQueueWaitNs();
    const qint64 blocked = (now - lastBeatNs) - (wait - lastWaitNs) - qint64(IntervalMs) * 1000000;
    if (blocked > longestNs) {
        longestNs = blocked;
        longestStage = stage;
    }
    lastBeatNs = now;
    lastWaitNs = wait;
}

qint64 EventLoopWatchdog::runQueueWaitNs()
{
    // "<time on the processor> <time waiting on a run queue> <time slices>", in ns.
    QFile file(QStringLiteral("/proc/thread-self/schedstat"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.size() >= 2 ? fields.at(1).toLongLong() : 0;
}
