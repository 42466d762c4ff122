#pragma once

#include "vpnservermodel.h"

#include <QString>

// The server table's columns by the names the data tables use.
namespace ModelColumns {

inline int of(const VpnServerModel &model, const QString &name)
{
    using Getter = int (VpnServerModel::*)() const;
    static const QList<std::pair<QString, Getter>> getters {
        { QStringLiteral("country"), &VpnServerModel::countryColumn },
        { QStringLiteral("location"), &VpnServerModel::locationColumn },
        { QStringLiteral("stealth"), &VpnServerModel::stealthColumn },
        { QStringLiteral("server"), &VpnServerModel::serverColumn },
        { QStringLiteral("free"), &VpnServerModel::freeColumn },
        { QStringLiteral("ping"), &VpnServerModel::pingColumn },
        { QStringLiteral("distance"), &VpnServerModel::distanceColumn },
        { QStringLiteral("provider"), &VpnServerModel::providerColumn },
        { QStringLiteral("check"), &VpnServerModel::checkColumn },
    };
    for (const auto &[key, getter] : getters) {
        if (key == name)
            return (model.*getter)();
    }
    qFatal("no column %s", qPrintable(name));
}

} // namespace ModelColumns
