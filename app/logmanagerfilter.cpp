#include "logmanagerfilter.h"

#include "context.h"
#include "core.h"
#include "vpnclient.h"

LogManagerFilter::LogManagerFilter(Core *core)
    : core(core)
{
}

QString LogManagerFilter::filter(const QString &line)
{
    QString text = line;
    if (const VpnClient *client = core->vpnClient()) {
        const VpnServer server = client->currentServer();
        if (!server.isNull() && !server.host().isEmpty())
            text.replace(server.host(), QStringLiteral("%HOST%"), Qt::CaseSensitive);
    }
    if (const Context *context = core->context()) {
        const VpnAccount account = context->vpnAccount();
        if (!account.isNull() && !account.username().isEmpty())
            text.replace(account.username(), QStringLiteral("%USERNAME%"), Qt::CaseSensitive);
    }
    return text;
}
