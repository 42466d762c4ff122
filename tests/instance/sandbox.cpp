#include "sandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

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

Sandbox::~Sandbox()
{
    if (dir.isValid())
        removeLeftoverIpcObjects();
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

QString Sandbox::folder(const QString &name) const
{
    return dir.path() + QLatin1Char('/') + name;
}

void Sandbox::removeLeftoverIpcObjects() const
{
    // Qt keys its System V objects with ftok() on a file per object in the temporary
    // folder. An instance that exits normally removes them; a killed one cannot.
    const QDir tmp(folder(QStringLiteral("tmp")));
    const QStringList files = tmp.entryList({ QStringLiteral("qipc_*") }, QDir::Files);
    for (const QString &name : files) {
        const key_t key = ::ftok(QFile::encodeName(tmp.filePath(name)).constData(), 'Q');
        if (key == -1)
            continue;
        if (name.startsWith(QLatin1String("qipc_sharedmemory_"))) {
            const int id = ::shmget(key, 0, 0);
            struct shmid_ds status = {};
            if (id != -1 && ::shmctl(id, IPC_STAT, &status) == 0 && status.shm_nattch == 0)
                ::shmctl(id, IPC_RMID, nullptr);
        } else if (name.startsWith(QLatin1String("qipc_systemsem_"))) {
            const int id = ::semget(key, 0, 0);
            if (id != -1)
                ::semctl(id, 0, IPC_RMID);
        }
    }
}
