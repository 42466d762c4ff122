#include "servicehandler.h"

#include "core.h"
#include "winutils.h"

ServiceHandler::ServiceHandler(Core *core)
    : core(core)
{
}

void ServiceHandler::startServiceAsync(const QString &name)
{
    if (WinUtils::startService(core->logManager(), name))
        emit serviceStarted();
    else
        emit serviceFailed();
}

void ServiceHandler::stopServiceAsync(const QString &name)
{
    if (WinUtils::stopService(name))
        emit serviceStopped();
}
