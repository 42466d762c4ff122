#pragma once

#include <QObject>
#include <QString>

class LogManager;
class PingPrivate;
class QThread;

// Measures round trips to hosts with ICMP echoes, off the GUI thread, five at a
// time. Each queued host gets one pingCompleted(), in milliseconds or -1.
class Ping : public QObject
{
    Q_OBJECT

public:
    explicit Ping(LogManager *logManager, QObject *parent = nullptr);
    // Lets the batch in progress finish; hosts still queued are dropped.
    ~Ping() override;

    // Queues the host unless it is queued already.
    void ping(const QString &host);

    static constexpr int BatchSize = 5;

signals:
    void pingCompleted(const QString &host, int msecs);

private:
    PingPrivate *d;
    QThread *thread;
};
