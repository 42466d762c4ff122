#include "sandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <QDirIterator>

#include <unistd.h>

Sandbox::Sandbox()
{
    if (!dir.isValid())
        return;
    for (const char *name : { "home", "config", "data", "cache", "runtime", "tmp", "system", "bin" })
        QDir().mkpath(folder(QString::fromLatin1(name)));
    QFile::setPermissions(
        folder(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), folder(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), folder(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), folder(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder(QStringLiteral("runtime")));
    env.insert(QStringLiteral("TMPDIR"), folder(QStringLiteral("tmp")));
    // Where the program writes the OpenVPN service's settings, which are /etc's otherwise.
    env.insert(QStringLiteral("NOXEL_SYSTEM_CONFIG_DIR"), folder(QStringLiteral("system")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("PATH"),
        folder(QStringLiteral("bin")) + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
    for (const char *name : { "NOXEL_DEBUG", "DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS" })
        env.remove(QString::fromLatin1(name));
}

bool Sandbox::isValid() const
{
    return dir.isValid();
}

QString Sandbox::path() const
{
    return dir.path();
}

QProcessEnvironment Sandbox::environment() const
{
    return env;
}

QString Sandbox::settingsFileName() const
{
    return folder(QStringLiteral("config")) + QStringLiteral("/Noxel/Noxel.conf");
}

QString Sandbox::autoStartFileName() const
{
    return folder(QStringLiteral("config")) + QStringLiteral("/autostart/noxel.desktop");
}

bool Sandbox::writeSettings(const QStringList &generalLines) const
{
    QDir().mkpath(QFileInfo(settingsFileName()).absolutePath());
    QFile file(settingsFileName());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    const QString text
        = QStringLiteral("[General]\n") + generalLines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return file.write(text.toUtf8()) >= 0;
}

QString Sandbox::setting(const QString &key) const
{
    QFile file(settingsFileName());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream in(&file);
    bool general = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            general = line == QLatin1String("[General]");
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (general && equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return QString();
}

bool Sandbox::addProgram(const QString &name, const QByteArray &script)
{
    QFile file(folder(QStringLiteral("bin")) + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(script) != script.size())
        return false;
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString Sandbox::runtimeFolder() const
{
    return folder(QStringLiteral("runtime"));
}

QString Sandbox::socketPath(const QString &key) const
{
    return runtimeFolder() + QLatin1Char('/') + key + QStringLiteral(".socket");
}

bool Sandbox::giveTo(uid_t uid, gid_t gid) const
{
    // The sandbox itself stays the test's; the other user only passes through it.
    if (!QFile::setPermissions(dir.path(),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther))
        return false;
    QDirIterator it(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (::lchown(QFile::encodeName(it.next()).constData(), uid, gid) != 0)
            return false;
    }
    return true;
}

QString Sandbox::folder(const QString &name) const
{
    return dir.path() + QLatin1Char('/') + name;
}
