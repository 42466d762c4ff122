#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class Core;
class LogManager;
class PlatformManagerPrivate;
class QUrl;

// The operating system as the rest of the client needs it: power and session
// events, the privileged service's settings, the autostart entry, links, adapters
// and a description of the machine.
class PlatformManager : public QObject
{
    Q_OBJECT

public:
    // Power notifications, numbered like the Windows power broadcasts they stand for.
    enum PowerEvent {
        PowerSuspend = 4,
        PowerResumeSuspend = 7,
        PowerResumeAutomatic = 18,
    };

    struct ProcessorInfo
    {
        bool valid = false;
        QString name;
        bool hasSse2 = false;
    };

    explicit PlatformManager(Core *core);
    ~PlatformManager() override;

    // Writes the settings the privileged OpenVPN service reads. Start-up goes on when
    // they cannot be written; the log says so.
    static bool initializePlatform(LogManager *log);
    // Gives files that an elevated run created in the user's folders back to the user.
    static void cleanupPlatform();

    // The system-scope settings file the privileged service reads.
    static QString serviceSettingsFileName();
    // Where the OpenVPN configuration is written and its log kept: the user's own
    // data folder, which the privileged service reads as root.
    static QString openVpnConfigDirectory();
    static QString openVpnLogDirectory();
    // The installed programs, found on the PATH and in the system folders; empty when missing.
    static QString openVpnProgram();
    static QString stunnelProgram();

    void handlePowerEvent(int event);
    void emitSystemShutdown();
    bool isSuspended() const;

    static QString autoStartShortcutPath();
    static bool isAutoStartShortcutPresent();
    static bool setAutoStartShortcut(bool enabled);
    static bool openUrl(const QUrl &url);
    static QStringList hardwareAddresses();
    static QString osName();
    static ProcessorInfo processorInfo();
    static QString systemInfo();
    // The kernel's tun device, which OpenVPN needs: /dev/net/tun unless
    // NOXEL_TUN_DEVICE names another path.
    static QString tunDevicePath();
    static bool isTunDevicePresent();
    bool isReady() const;

signals:
    void powerSuspend(bool suspended);
    void systemShutdown();

private slots:
    // logind: true before the machine sleeps or shuts down, false after it wakes.
    void prepareForSleep(bool start);
    void prepareForShutdown(bool start);

private:
    std::unique_ptr<PlatformManagerPrivate> d;
};
