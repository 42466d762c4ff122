#pragma once

#include <QObject>
#include <QString>

class LogManager;

// Starts and stops the privileged OpenVPN service on a thread of its own, so
// that the window never waits for it. Reach its slots by queued invocation.
class ServiceHandler : public QObject
{
    Q_OBJECT

public:
    explicit ServiceHandler(LogManager *logManager);

signals:
    void serviceStarted();
    void serviceFailed();
    void serviceStopped();
    // The service has ended by itself.
    void serviceEnded();

public slots:
    void startServiceAsync(const QString &name);
    // A failed stop is silent: the caller keeps waiting for the service to end.
    void stopServiceAsync(const QString &name);
    // Emits serviceEnded() when the service is no longer running.
    void checkServiceAsync(const QString &name);

private:
    LogManager *logManager;
};
