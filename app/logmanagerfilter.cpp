#include "logmanagerfilter.h"

#include "context.h"

LogManagerFilter::LogManagerFilter(Context *context)
    : context(context)
{
}

void LogManagerFilter::setCurrentHost(const QString &host)
{
    QWriteLocker locker(&lock);
    currentHost = host;
}

QString LogManagerFilter::filter(const QString &line)
{
    QString text = line;
    QString host;
    {
        QReadLocker locker(&lock);
        host = currentHost;
    }
    if (!host.isEmpty())
        text.replace(host, QStringLiteral("%HOST%"), Qt::CaseSensitive);
    const VpnAccount account = context->vpnAccount();
    if (!account.isNull() && !account.username().isEmpty())
        text.replace(account.username(), QStringLiteral("%USERNAME%"), Qt::CaseSensitive);
    return text;
}
