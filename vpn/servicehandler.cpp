#include "servicehandler.h"

#include "winutils.h"

ServiceHandler::ServiceHandler(LogManager *logManager)
    : logManager(logManager)
{
}

void ServiceHandler::startServiceAsync(const QString &name)
{
    if (WinUtils::startService(logManager, name))
        emit serviceStarted();
    else
        emit serviceFailed();
}

void ServiceHandler::stopServiceAsync(const QString &name)
{
    if (WinUtils::stopService(name))
        emit serviceStopped();
}

void ServiceHandler::checkServiceAsync(const QString &name)
{
    if (WinUtils::serviceState(name) == WinUtils::ServiceStopped)
        emit serviceEnded();
}
