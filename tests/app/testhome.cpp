#include "testhome.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

// Each rewrite of the preferences file moves its time one second on.
int rewrites = 0;

} // namespace

TestHome::TestHome()
{
    if (!dir.isValid())
        return;
    qputenv("HOME", QFile::encodeName(dir.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + QStringLiteral("/.qttest/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + QStringLiteral("/.qttest/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.path() + QStringLiteral("/.qttest/cache")));
    const QString runtime = dir.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    // The user's session bus leads to the user's keyring: no bus answers here, unless
    // the test runs on a private one with a keyring of its own (run-keyring.sh).
    if (!qEnvironmentVariableIsSet("NOXEL_TEST_KEYRING"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(runtime) + "/no-bus");
    QStandardPaths::setTestModeEnabled(true);
    QDir().mkpath(configHome());
}

bool TestHome::isValid() const
{
    return dir.isValid()
        && QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) == configHome();
}

QString TestHome::path() const
{
    return dir.path();
}

QString TestHome::configHome() const
{
    return dir.path() + QStringLiteral("/.qttest/config");
}

QString TestHome::settingsFileName() const
{
    return configHome() + QStringLiteral("/Noxel/Noxel.conf");
}

QString TestHome::autoStartFileName() const
{
    return configHome() + QStringLiteral("/autostart/noxel.desktop");
}

void TestHome::writeSettings(const QStringList &generalLines) const
{
    QDir().mkpath(QFileInfo(settingsFileName()).absolutePath());
    QFile file(settingsFileName());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(settingsFileName()));
    file.write("[General]\n");
    for (const QString &line : generalLines)
        file.write(line.toUtf8() + '\n');
    // The buffered lines go out first: writing them later would stamp the file with
    // the current time again, which two quick rewrites of one size can share.
    file.flush();
    file.setFileTime(
        QDateTime(QDate(2001, 1, 1), QTime(0, 0)).addSecs(++rewrites), QFileDevice::FileModificationTime);
}

void TestHome::clearSettings() const
{
    QFile::remove(settingsFileName());
    QFile::remove(autoStartFileName());
}

QMap<QString, QString> TestHome::readIniSection(const QString &fileName, const QString &section)
{
    QMap<QString, QString> values;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    const QString header = QLatin1Char('[') + section + QLatin1Char(']');
    bool inside = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inside = line == header;
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (inside && equals > 0)
            values.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return values;
}
