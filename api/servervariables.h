#pragma once

// Names of the variables the provider sends with its variables answer. Each reader
// names its default at the point of use.

#include <QString>

static const QString VAR_DEFAULT_PROTOCOL = QStringLiteral("default_protocol");
static const QString VAR_FORCE_DEFAULT_PROTOCOL = QStringLiteral("force_default_protocol");
static const QString VAR_TRIAL_ENABLED = QStringLiteral("trial_enabled");
static const QString VAR_STAT_ENABLED = QStringLiteral("stat_enabled");
static const QString VAR_TSTAT_ENABLED = QStringLiteral("tstat_enabled");
static const QString VAR_MIN_PING = QStringLiteral("min_ping");
static const QString VAR_MIN_CAPACITY = QStringLiteral("min_capacity");
static const QString VAR_OPT_CAPACITY = QStringLiteral("opt_capacity");
static const QString VAR_PING_UPDATE_INTERVAL = QStringLiteral("ping_update_interval");
static const QString VAR_VPN_SERVERS_UPDATE_INTERVAL = QStringLiteral("vpn_servers_update_interval");
static const QString VAR_MAX_FAILURES_OVPN = QStringLiteral("max_failures_ovpn");
static const QString VAR_MAX_FAILURES_L2TP = QStringLiteral("max_failures_l2tp");
static const QString VAR_MAX_FAILURES_PPTP = QStringLiteral("max_failures_pptp");
static const QString VAR_VPN_CONNECTION_TIMEOUT = QStringLiteral("vpn_connection_timeout");
