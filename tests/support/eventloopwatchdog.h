#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

// Measures how long the event loop of the thread it lives in stays away. A precise
// heartbeat ticks every few milliseconds; the time between two ticks, less the
// interval and less the time the thread spent waiting for a processor (as the
// kernel counts it in the thread's schedstat), is time the thread spent blocked on
// its own work. A loaded machine therefore makes no false alarm, while work or a
// blocking call in the thread does. The longest stretch and what the test was doing
// then (setStage) are kept.
class EventLoopWatchdog : public QObject
{
    Q_OBJECT

public:
    explicit EventLoopWatchdog(QObject *parent = nullptr);

    void start();
    void stop();
    // A name for what happens from now on, reported with the longest block.
    void setStage(const QString &stage);

    qint64 longestBlockMs() const;
    QString longestBlockStage() const;
    // False where the kernel does not count the waiting time; blocks then include it.
    static bool countsRunQueueWait();

private:
    void beat();
    // Nanoseconds the calling thread waited for a processor so far; 0 when unknown.
    static qint64 runQueueWaitNs();

    QTimer heartbeat;
    QElapsedTimer clock;
    qint64 lastBeatNs = 0;
    qint64 lastWaitNs = 0;
    qint64 longestNs = 0;
    QString stage;
    QString longestStage;
};
