#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

// A throw-away world for the programs one test starts: their own home, settings,
// data, runtime and temporary folders. Processes that should meet each other's
// single-instance guard must share one sandbox, because the guard lives in the
// runtime folder.
class Sandbox
{
public:
    Sandbox();

    bool isValid() const;
    QString path() const;
    QProcessEnvironment environment() const;

    // $XDG_CONFIG_HOME/Noxel/Noxel.conf and $XDG_CONFIG_HOME/autostart/noxel.desktop.
    QString settingsFileName() const;
    QString autoStartFileName() const;
    // $XDG_RUNTIME_DIR, and the socket an instance guarded with `key` listens on.
    QString runtimeFolder() const;
    QString socketPath(const QString &key) const;

    // Replaces the preferences file with these lines of its [General] section.
    bool writeSettings(const QStringList &generalLines) const;
    // The raw text of a [General] key; a null string when the key is absent.
    QString setting(const QString &key) const;

    // Puts a shell script named `name` first on the children's PATH, standing in
    // for a program they must not really run.
    bool addProgram(const QString &name, const QByteArray &script);

    // Hands the folders to another user, whose programs the test starts.
    bool giveTo(uid_t uid, gid_t gid) const;

private:
    QString folder(const QString &name) const;

    QTemporaryDir dir;
    QProcessEnvironment env;
};
