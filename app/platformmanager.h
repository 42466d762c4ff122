#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class LogManager;
class PlatformManagerPrivate;
class QUrl;

// The operating system as the rest of the client needs it: power and session
// events, the privileged service's settings, links and a description of the machine.
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

    PlatformManager();
    ~PlatformManager() override;

    // Writes the settings the privileged OpenVPN service reads. Start-up goes on when
    // they cannot be written; the log says so.
    static bool initializePlatform(LogManager *log);
    // Gives files that an elevated run created in the user's folders back to the user.
    static void cleanupPlatform();

    // The system-scope settings file the privileged service reads.
    static QString serviceSettingsFileName();

    void handlePowerEvent(int event);
    void emitSystemShutdown();
    bool isSuspended() const;

    static bool openUrl(const QUrl &url);
    static QString osName();
    static ProcessorInfo processorInfo();
    static QString systemInfo();
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
