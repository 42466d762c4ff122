#pragma once

// Program constants shared by the client and the core library. Every translation
// unit holds its own copy, so the values must never depend on anything at run time.

#include <QColor>
#include <QString>

static const QString ACCOUNT_HOME_LINK = QStringLiteral("account_home");
static const QString DATABASE_FILE_NAME = QStringLiteral("main.sqlite");

static const QString PROTOCOL_KEY_L2TP = QStringLiteral("l2tp");
static const QString PROTOCOL_KEY_PPTP = QStringLiteral("pptp");
static const QString PROTOCOL_KEY_OPENVPN_UDP = QStringLiteral("ovpn_udp");
static const QString PROTOCOL_KEY_OPENVPN_TCP = QStringLiteral("ovpn_tcp");
static const QString PROTOCOL_KEY_OPENVPN_STEALTH = QStringLiteral("ovpn_stealth");

// The product name serves as the autostart entry name, the SQL connection name and
// the name of the dial-up peer; the two names keep those uses apart.
static const QString PRODUCT_NAME = QStringLiteral("noxel");
static const QString PRODUCT_NAME_LOWER = QStringLiteral("noxel");

static const QString SERVICE_NAME = QStringLiteral("NoxelOpenVPNService");
static const QString TAP_COMPONENT_ID = QStringLiteral("tap0901");
static const QString TAP_VERSION = QStringLiteral("9.21");

static const QColor COLOR_WHITE(255, 255, 255);
static const QColor COLOR_TEXT(51, 51, 51);
static const QColor COLOR_BLACK(0, 0, 0);
static const QColor COLOR_AMBER_DARK(153, 102, 0);
static const QColor COLOR_BLUE_DARK(0, 0, 153);
static const QColor COLOR_DANGER_BACKGROUND(242, 222, 222);
static const QColor COLOR_DANGER_TEXT(169, 68, 66);
static const QColor COLOR_DANGER_DARK(132, 53, 52);
static const QColor COLOR_INFO_BACKGROUND(217, 237, 247);
static const QColor COLOR_INFO_TEXT(49, 112, 143);
static const QColor COLOR_INFO_DARK(36, 82, 105);
static const QColor COLOR_SUCCESS_BACKGROUND(223, 240, 216);
static const QColor COLOR_SUCCESS_TEXT(60, 118, 61);
static const QColor COLOR_SUCCESS_DARK(43, 84, 44);
static const QColor COLOR_WARNING_BACKGROUND(252, 248, 227);
static const QColor COLOR_WARNING_TEXT(138, 109, 59);
static const QColor COLOR_WARNING_DARK(102, 81, 44);
