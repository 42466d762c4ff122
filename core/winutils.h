#pragma once

#include "core_global.h"

#include <QString>
#include <QStringList>

class LogManager;

// Operating-system services: administrator rights, elevation, control of the
// privileged service, the autostart entry, adapter names and the pixel ratio.
// The service functions block for up to about 30 seconds: call them off the GUI thread.
namespace WinUtils {

// States of a service, numbered like the service control manager's.
enum ServiceState {
    ServiceUnknown = 0,
    ServiceStopped = 1,
    ServiceStartPending = 2,
    ServiceStopPending = 3,
    ServiceRunning = 4,
};

CORE_EXPORT bool isRunningAsAdministrator();
// Relaunches filePath with root rights through pkexec; true when pkexec started.
// An installed polkit action that names the program lets it run as it is (its
// policy keeps the display); otherwise the display and the user's folders are
// handed over on the command line.
CORE_EXPORT bool startElevated(const QString &filePath);
// The user who asked pkexec for this copy running as root (PKEXEC_UID); 0 when this
// is no such copy.
CORE_EXPORT uint invokingUserId();
// In a copy pkexec started as root: the folders and the session bus of the user who
// asked, where pkexec left root's. Call before anything reads them.
CORE_EXPORT void adoptInvokingUser();

CORE_EXPORT ServiceState serviceState(const QString &name);
CORE_EXPORT bool isServiceStarted(const QString &name);
CORE_EXPORT bool startService(LogManager *log, const QString &name);
CORE_EXPORT bool stopService(const QString &name);

// Writes a desktop entry at linkPath that starts targetPath with "-l".
CORE_EXPORT bool createShellLink(const QString &targetPath, const QString &linkPath, const QString &description);
// The XDG autostart entry that starts this program at login.
CORE_EXPORT QString autoStartShortcutPath();
CORE_EXPORT bool isAutoStartShortcutPresent();
CORE_EXPORT bool setAutoStartShortcut(bool enabled);

// An installed program, found on the PATH and in the system folders; empty when missing.
CORE_EXPORT QString findProgram(const QString &name);
// Whether only root can change the file: it and every folder on the way to it
// belong to root and nobody else may write them (a sticky folder such as /tmp aside).
CORE_EXPORT bool onlyRootCanChange(const QString &path);
// Whether a program of this machine listens on the TCP port of 127.0.0.1 (in this
// network namespace).
CORE_EXPORT bool isLoopbackPortListening(quint16 port);

// The hardware addresses of the Ethernet and wireless adapters, 12 lower-case hex digits each.
CORE_EXPORT QStringList hardwareAddresses();
// The kernel's tun device, which OpenVPN needs: /dev/net/tun unless
// NOXEL_TUN_DEVICE names another path.
CORE_EXPORT QString tunDevicePath();
CORE_EXPORT bool isTunDevicePresent();

// The human-readable name of the interface called adapterDescription, or empty.
CORE_EXPORT QString GetNetworkInterfaceName(const QString &adapterDescription);

CORE_EXPORT void setDpiAware();
CORE_EXPORT double devicePixelRatio();
// True when the pixel ratio was forced through QT_DEVICE_PIXEL_RATIO, so Qt scales by itself.
CORE_EXPORT bool isDevicePixelRatioAware();

} // namespace WinUtils
