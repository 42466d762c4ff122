#include "winutils.h"

#include "constants.h"
#include "logmanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QNetworkInterface>
#include <QProcess>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>

#include <memory>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace WinUtils {

namespace {

constexpr int ServiceTimeoutMs = 30000;
// systemd gives no wait hint; poll at this pace instead.
constexpr int ServicePollMs = 250;
constexpr int SystemctlTimeoutMs = 10000;

// Whether an installed polkit action lets pkexec run this program (as the package
// installs one for the client).
bool hasPolkitAction(const QString &program)
{
    const QByteArray annotation = "<annotate key=\"org.freedesktop.policykit.exec.path\">"
        + QFile::encodeName(program) + "</annotate>";
    const QDir actions(QStringLiteral("/usr/share/polkit-1/actions"));
    const QStringList policies = actions.entryList({QStringLiteral("*.policy")}, QDir::Files);
    for (const QString &name : policies) {
        QFile policy(actions.filePath(name));
        if (policy.open(QIODevice::ReadOnly) && policy.readAll().contains(annotation))
            return true;
    }
    return false;
}

struct SystemctlResult
{
    bool started = false;
    int exitCode = -1;
    QString output;
};

SystemctlResult systemctl(const QStringList &arguments)
{
    SystemctlResult result;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral("systemctl"), arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(SystemctlTimeoutMs))
        return result;
    result.started = true;
    if (!process.waitForFinished(SystemctlTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    return result;
}

QString unitName(const QString &name)
{
    return name.endsWith(QLatin1String(".service")) ? name : name + QStringLiteral(".service");
}

ServiceState stateFromActiveState(const QString &activeState)
{
    if (activeState == QLatin1String("active"))
        return ServiceRunning;
    if (activeState == QLatin1String("activating") || activeState == QLatin1String("reloading"))
        return ServiceStartPending;
    if (activeState == QLatin1String("deactivating"))
        return ServiceStopPending;
    if (activeState == QLatin1String("inactive") || activeState == QLatin1String("failed"))
        return ServiceStopped;
    return ServiceUnknown;
}

// The unit's ActiveState as systemctl shows it; empty when the query fails.
QString activeState(const QString &name)
{
    const SystemctlResult result = systemctl(
        {QStringLiteral("show"), QStringLiteral("--property=ActiveState"), QStringLiteral("--value"), unitName(name)});
    return result.started && result.exitCode == 0 ? result.output : QString();
}

void logService(LogManager *log, const QString &message)
{
    if (log)
        log->addData(LogManager::OpenVpnLevel, "[[[ " + message.toLatin1() + " ]]]\r\n");
}

// Waits while the service stays in `pending`; returns the first other state, or
// ServiceUnknown when the query fails or the time runs out.
ServiceState waitWhile(const QString &name, ServiceState pending, const QElapsedTimer &clock, bool *timedOut)
{
    *timedOut = false;
    for (;;) {
        QThread::msleep(ServicePollMs);
        const ServiceState state = serviceState(name);
        if (state != pending)
            return state;
        if (clock.elapsed() > ServiceTimeoutMs) {
            *timedOut = true;
            return state;
        }
    }
}

QString desktopEntryQuote(const QString &argument)
{
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    // Field codes start with '%' in the Exec key.
    quoted.replace(QLatin1Char('%'), QLatin1String("%%"));
    // The Exec value is a string first: launchers undo its escapes ("\\" for one
    // backslash) before the quoting, so every backslash so far is written twice.
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString singleLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
}

struct DpiRecord
{
    bool initialised = false;
    bool ratioFromEnvironment = false;
    double ratio = 1.0;
};

std::unique_ptr<DpiRecord> dpiRecord;

void detectDpi()
{
    dpiRecord = std::make_unique<DpiRecord>();
    dpiRecord->initialised = true;
    if (qEnvironmentVariableIsSet("QT_DEVICE_PIXEL_RATIO")) {
        dpiRecord->ratioFromEnvironment = true;
        const QString value = qEnvironmentVariable("QT_DEVICE_PIXEL_RATIO");
        bool ok = false;
        const int ratio = value.toInt(&ok, 10);
        if (value != QLatin1String("auto") && ok && ratio > 0) {
            dpiRecord->ratio = ratio;
            return;
        }
    }
    // Qt scales by the screen's device pixel ratio itself; what is left to the
    // program is a logical DPI above 96, as a desktop's font scaling sets it.
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        if (const QScreen *screen = app->primaryScreen()) {
            const double dpi = screen->logicalDotsPerInchX();
            if (dpi > 0)
                dpiRecord->ratio = dpi / 96.0;
        }
    }
}

const DpiRecord &dpi()
{
    if (!dpiRecord)
        detectDpi();
    return *dpiRecord;
}

} // namespace

bool isRunningAsAdministrator()
{
    return geteuid() == 0;
}

bool startElevated(const QString &filePath)
{
    const QString program = QFileInfo(filePath).absoluteFilePath();
    if (hasPolkitAction(program))
        return QProcess::startDetached(QStringLiteral("pkexec"), {program});
    // pkexec clears the environment; the copy needs the display and the user's
    // own folders so that it shows its window and keeps the same settings.
    QStringList arguments{QStringLiteral("env")};
    const char *const kept[] = {"DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "HOME",
                                "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "DBUS_SESSION_BUS_ADDRESS",
                                "LANG", "LC_ALL", "QT_QPA_PLATFORM"};
    for (const char *name : kept) {
        if (qEnvironmentVariableIsSet(name))
            arguments << QString::fromLatin1(name) + QLatin1Char('=') + qEnvironmentVariable(name);
    }
    arguments << program;
    return QProcess::startDetached(QStringLiteral("pkexec"), arguments);
}

uint invokingUserId()
{
    bool ok = false;
    const uint uid = qEnvironmentVariable("PKEXEC_UID").toUInt(&ok);
    return ok && isRunningAsAdministrator() ? uid : 0;
}

void adoptInvokingUser()
{
    const uint uid = invokingUserId();
    if (uid == 0)
        return;
    // getpwuid() answers in one buffer it reuses.
    const struct passwd *entry = ::getpwuid(0);
    const QByteArray rootHome = entry ? QByteArray(entry->pw_dir) : QByteArray();
    entry = ::getpwuid(uid);
    if (!entry || rootHome.isEmpty())
        return;
    // A HOME handed over on the command line stays; pkexec's own is root's.
    if (qgetenv("HOME") == rootHome)
        qputenv("HOME", QByteArray(entry->pw_dir));
    const QByteArray runtime = "/run/user/" + QByteArray::number(uid);
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR") && QFileInfo(QString::fromLatin1(runtime)).isDir())
        qputenv("XDG_RUNTIME_DIR", runtime);
    if (!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS") && QFileInfo::exists(QString::fromLatin1(runtime + "/bus")))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime + "/bus");
}

ServiceState serviceState(const QString &name)
{
    return stateFromActiveState(activeState(name));
}

bool isServiceStarted(const QString &name)
{
    const ServiceState state = serviceState(name);
    return state == ServiceStartPending || state == ServiceRunning;
}

bool startService(LogManager *log, const QString &name)
{
    QElapsedTimer clock;
    clock.start();

    const SystemctlResult probe = systemctl({QStringLiteral("--version")});
    if (!probe.started || probe.exitCode != 0) {
        logService(log, QStringLiteral("WinUtils: OpenSCManager failed with error %1").arg(probe.exitCode));
        return false;
    }
    const QString before = activeState(name);
    ServiceState state = stateFromActiveState(before);
    if (state == ServiceUnknown) {
        logService(log, QStringLiteral("WinUtils: OpenService failed with error %1").arg(2));
        return false;
    }
    if (state == ServiceRunning) {
        logService(log, QStringLiteral("WinUtils: Service is already running."));
        return true;
    }
    while (state == ServiceStopPending) {
        logService(log, QStringLiteral("WinUtils: Service stop pending..."));
        bool timedOut = false;
        state = waitWhile(name, ServiceStopPending, clock, &timedOut);
        if (state == ServiceUnknown) {
            logService(log, QStringLiteral("WinUtils: QueryServiceStatusEx failed with error %1").arg(1));
            return false;
        }
        if (state == ServiceRunning) {
            logService(log, QStringLiteral("WinUtils: Service started successfully."));
            return true;
        }
        if (timedOut) {
            logService(log, QStringLiteral("WinUtils: Service start timed out."));
            return false;
        }
    }

    // systemd shows a unit that failed as "failed" until its next start job runs, which
    // may be after the first query below: once reset, or once another state was seen,
    // "failed" can only be this start's.
    const SystemctlResult reset = systemctl({QStringLiteral("reset-failed"), unitName(name)});
    bool staleFailure = before != QLatin1String("inactive") && (!reset.started || reset.exitCode != 0);
    const SystemctlResult start = systemctl({QStringLiteral("start"), QStringLiteral("--no-block"), unitName(name)});
    if (!start.started || start.exitCode != 0) {
        logService(log, QStringLiteral("WinUtils: Service couldn't be started (%1).").arg(start.exitCode));
        return false;
    }
    for (;;) {
        const QString active = activeState(name);
        state = stateFromActiveState(active);
        if (state == ServiceUnknown) {
            logService(log, QStringLiteral("WinUtils: QueryServiceStatusEx failed with error %1").arg(1));
            return false;
        }
        if (state == ServiceRunning)
            break;
        // A service that ended at once (it refused its configuration) never runs.
        if (active == QLatin1String("failed") && !staleFailure) {
            logService(log, QStringLiteral("WinUtils: Service failed while starting."));
            return false;
        }
        staleFailure = staleFailure && active == QLatin1String("failed");
        if (clock.elapsed() > ServiceTimeoutMs) {
            logService(log, QStringLiteral("WinUtils: Wait timed out (current state: %1)").arg(int(state)));
            return false;
        }
        QThread::msleep(ServicePollMs);
    }
    logService(log, QStringLiteral("WinUtils: Service started successfully: %1").arg(1));
    return true;
}

bool stopService(const QString &name)
{
    QElapsedTimer clock;
    clock.start();

    ServiceState state = serviceState(name);
    if (state == ServiceUnknown)
        return false;
    if (state == ServiceStopped)
        return true;
    if (state == ServiceStopPending) {
        bool timedOut = false;
        state = waitWhile(name, ServiceStopPending, clock, &timedOut);
        if (state == ServiceUnknown || timedOut)
            return false;
        if (state == ServiceStopped)
            return true;
    }
    // systemd stops the units that depend on this one by itself.
    const SystemctlResult stop = systemctl({QStringLiteral("stop"), QStringLiteral("--no-block"), unitName(name)});
    if (!stop.started || stop.exitCode != 0)
        return false;
    for (;;) {
        state = serviceState(name);
        if (state == ServiceUnknown)
            return false;
        if (state == ServiceStopped)
            return true;
        if (clock.elapsed() > ServiceTimeoutMs)
            return false;
        QThread::msleep(ServicePollMs);
    }
}

bool isLoopbackPortListening(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // "sl local_address rem_address st ...": 127.0.0.1 in the kernel's byte order, the
    // port in hexadecimal, 0A for LISTEN.
    const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    const QList<QByteArray> lines = table.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}

bool createShellLink(const QString &targetPath, const QString &linkPath, const QString &description)
{
    const QFileInfo target(targetPath);
    if (!QDir().mkpath(QFileInfo(linkPath).absolutePath()))
        return false;
    QSaveFile file(linkPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Noxel\n")
        + QStringLiteral("Comment=") + singleLine(description) + QLatin1Char('\n')
        + QStringLiteral("Exec=") + desktopEntryQuote(target.absoluteFilePath()) + QStringLiteral(" -l\n")
        + QStringLiteral("Path=") + singleLine(target.absolutePath()) + QLatin1Char('\n')
        + QStringLiteral("Terminal=false\n"
                         "X-GNOME-Autostart-enabled=true\n");
    file.write(entry.toUtf8());
    return file.commit();
}

QString findProgram(const QString &name)
{
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty())
        return found;
    return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
}

bool onlyRootCanChange(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    for (QString part = canonical;; part = QFileInfo(part).path()) {
        struct stat status;
        if (::lstat(QFile::encodeName(part).constData(), &status) != 0 || status.st_uid != 0)
            return false;
        const bool sticky = S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX);
        if ((status.st_mode & (S_IWGRP | S_IWOTH)) && !(sticky && part != canonical))
            return false;
        if (part == QLatin1String("/"))
            return true;
    }
}

QString autoStartShortcutPath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return QString();
    return config + QStringLiteral("/autostart/") + PRODUCT_NAME + QStringLiteral(".desktop");
}

bool isAutoStartShortcutPresent()
{
    const QString path = autoStartShortcutPath();
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool setAutoStartShortcut(bool enabled)
{
    const QString path = autoStartShortcutPath();
    if (path.isEmpty())
        return false;
    if (enabled)
        return createShellLink(QCoreApplication::applicationFilePath(), path, QStringLiteral("Start %1").arg(PRODUCT_NAME));
    if (QFileInfo::exists(path))
        QFile::remove(path);
    return true;
}

QStringList hardwareAddresses()
{
    QStringList addresses;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        if (interface.type() != QNetworkInterface::Ethernet && interface.type() != QNetworkInterface::Wifi)
            continue;
        const QStringList bytes = interface.hardwareAddress().split(QLatin1Char(':'), Qt::SkipEmptyParts);
        addresses << bytes.mid(0, 6).join(QString()).toLower();
    }
    return addresses;
}

QString tunDevicePath()
{
    const QString configured = qEnvironmentVariable("NOXEL_TUN_DEVICE");
    return configured.isEmpty() ? QStringLiteral("/dev/net/tun") : configured;
}

bool isTunDevicePresent()
{
    return QFileInfo::exists(tunDevicePath());
}

QString GetNetworkInterfaceName(const QString &adapterDescription)
{
    QString name;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        if (interface.name() == adapterDescription)
            name = interface.humanReadableName();
    }
    return name;
}

void setDpiAware()
{
    detectDpi();
}

double devicePixelRatio()
{
    return dpi().ratio;
}

bool isDevicePixelRatioAware()
{
    return dpi().ratioFromEnvironment;
}

} // namespace WinUtils
