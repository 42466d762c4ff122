#include "platformmanager.h"

#include "constants.h"
#include "logmanager.h"
#include "openvpn.h"
#include "winutils.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

const QString LoginService = QStringLiteral("org.freedesktop.login1");
const QString LoginPath = QStringLiteral("/org/freedesktop/login1");
const QString LoginInterface = QStringLiteral("org.freedesktop.login1.Manager");


PlatformManager::ProcessorInfo readProcessorInfo()
{
    PlatformManager::ProcessorInfo info;
    info.valid = true;
#if defined(__x86_64__) || defined(__i386__)
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        info.hasSse2 = (edx >> 26) & 1;
    // gcc's cpuid.h returns this unsigned, clang's as int.
    if (unsigned(__get_cpuid_max(0x80000000, nullptr)) >= 0x80000004u) {
        char brand[49] = {};
        for (unsigned int leaf = 0; leaf < 3; ++leaf) {
            unsigned int regs[4] = {};
            __get_cpuid(0x80000002 + leaf, &regs[0], &regs[1], &regs[2], &regs[3]);
            memcpy(brand + leaf * 16, regs, sizeof(regs));
        }
        info.name = QString::fromLatin1(brand).trimmed();
    }
#endif
    if (info.name.isEmpty()) {
        // Processors without a brand string still name themselves to the kernel.
        QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
        if (cpuinfo.open(QIODevice::ReadOnly | QIODevice::Text)) {
            while (!cpuinfo.atEnd()) {
                const QString line = QString::fromLatin1(cpuinfo.readLine());
                if (line.startsWith(QLatin1String("model name"))) {
                    info.name = line.section(QLatin1Char(':'), 1).trimmed();
                    break;
                }
            }
        }
    }
    // Some processors (many ARM ones) name themselves nowhere: say what they are.
    if (info.name.isEmpty())
        info.name = QSysInfo::currentCpuArchitecture();
    info.name = info.name.simplified();
    return info;
}

void chownTree(const QString &path, uid_t uid, gid_t gid)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    if (::chown(QFile::encodeName(path).constData(), uid, gid) != 0)
        return;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        if (::lchown(QFile::encodeName(entry).constData(), uid, gid) != 0)
            continue;
    }
}

} // namespace

class PlatformManagerPrivate
{
public:
    bool suspended = false;
};

PlatformManager::PlatformManager()
    : d(new PlatformManagerPrivate)
{
    // logind announces sleep and shutdown on the system bus, where there is one.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(LoginService)) {
        bus.connect(LoginService, LoginPath, LoginInterface, QStringLiteral("PrepareForSleep"), this,
                    SLOT(prepareForSleep(bool)));
        bus.connect(LoginService, LoginPath, LoginInterface, QStringLiteral("PrepareForShutdown"), this,
                    SLOT(prepareForShutdown(bool)));
    }
}

PlatformManager::~PlatformManager() = default;

QString PlatformManager::serviceSettingsFileName()
{
    const QString directory = qEnvironmentVariable("NOXEL_SYSTEM_CONFIG_DIR");
    if (!directory.isEmpty())
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, directory);
    return QSettings(QSettings::IniFormat, QSettings::SystemScope, QStringLiteral("Noxel"),
                     QStringLiteral("Noxel OpenVPN"))
        .fileName();
}

bool PlatformManager::initializePlatform(LogManager *log)
{
    const QString fileName = serviceSettingsFileName();
    const QString openvpn = OpenVpn::program();

    if (!QDir().mkpath(QFileInfo(fileName).absolutePath()) || !QFileInfo(QFileInfo(fileName).absolutePath()).isWritable()) {
        if (log)
            log->addDataWithTimestamp(LogManager::GenericLevel,
                                      "The OpenVPN service settings could not be written to "
                                          + fileName.toUtf8() + " (root rights are needed)");
        return true;
    }
    QSettings settings(fileName, QSettings::IniFormat);
    settings.setValue(QStringLiteral("config_dir"), OpenVpn::configDirectory());
    settings.setValue(QStringLiteral("config_ext"), QStringLiteral("ovpn"));
    settings.setValue(QStringLiteral("exe_path"), openvpn.isEmpty() ? QStringLiteral("/usr/sbin/openvpn") : openvpn);
    settings.setValue(QStringLiteral("log_append"), QStringLiteral("0"));
    settings.setValue(QStringLiteral("log_dir"), OpenVpn::logDirectory());
    settings.setValue(QStringLiteral("priority"), QStringLiteral("NORMAL_PRIORITY_CLASS"));
    settings.sync();
    if (settings.status() != QSettings::NoError && log) {
        log->addDataWithTimestamp(LogManager::GenericLevel,
                                  "The OpenVPN service settings could not be written to " + fileName.toUtf8());
    }
    return true;
}

void PlatformManager::cleanupPlatform()
{
    const uint uid = WinUtils::invokingUserId();
    if (uid == 0)
        return;
    const struct passwd *user = getpwuid(uid);
    if (!user)
        return;
    chownTree(QSettings().fileName(), uid, user->pw_gid);
    chownTree(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation), uid, user->pw_gid);
}

void PlatformManager::handlePowerEvent(int event)
{
    if (event == PowerSuspend && !d->suspended) {
        d->suspended = true;
        emit powerSuspend(true);
    } else if (event == PowerResumeAutomatic && d->suspended) {
        d->suspended = false;
        emit powerSuspend(false);
    }
}

void PlatformManager::prepareForSleep(bool start)
{
    handlePowerEvent(start ? PowerSuspend : PowerResumeAutomatic);
}

void PlatformManager::prepareForShutdown(bool start)
{
    if (start)
        emitSystemShutdown();
}

void PlatformManager::emitSystemShutdown()
{
    emit systemShutdown();
}

bool PlatformManager::isSuspended() const
{
    return d->suspended;
}

bool PlatformManager::openUrl(const QUrl &url)
{
    // Links come from the provider: open web and mail addresses only, never a program.
    const QString scheme = url.scheme().toLower();
    if (!url.isValid()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("mailto")))
        return false;
    const QString text = url.toString(QUrl::FullyEncoded);
    const QString xdgOpen = WinUtils::findProgram(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty() && QProcess::startDetached(xdgOpen, {text}))
        return true;
    return QDesktopServices::openUrl(url);
}

QString PlatformManager::osName()
{
    static const QString name = [] {
        QString text = QSysInfo::prettyProductName();
        if (QSysInfo::currentCpuArchitecture() == QLatin1String("x86_64"))
            text += QStringLiteral(" x64");
        return text;
    }();
    return name;
}

PlatformManager::ProcessorInfo PlatformManager::processorInfo()
{
    static const ProcessorInfo info = readProcessorInfo();
    return info;
}

QString PlatformManager::systemInfo()
{
    return QStringLiteral("OS: ") + osName() + QStringLiteral("\r\nCPU: ") + processorInfo().name;
}

bool PlatformManager::isReady() const
{
    return true;
}
