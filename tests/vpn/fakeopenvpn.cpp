#include "fakeopenvpn.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <signal.h>

namespace {

QString quoted(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

FakeOpenVpn::FakeOpenVpn()
{
    if (!dir.isValid()) {
        why = QStringLiteral("no temporary folder");
        return;
    }
    python = QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable()
        ? QStringLiteral("/usr/bin/python3")
        : QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) {
        why = QStringLiteral("the stand-in openvpn needs python3");
        return;
    }
    QDir().mkpath(dir.filePath(QStringLiteral("bin")));
    QDir().mkpath(dir.filePath(QStringLiteral("record")));
    QDir().mkpath(dir.filePath(QStringLiteral("gates")));

    QFile script(QStringLiteral(NOXEL_VPN_STANDINS "/openvpn.py"));
    if (!script.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("cannot read ") + script.fileName();
        return;
    }
    install(QStringLiteral("openvpn"), "#!" + QFile::encodeName(python) + "\n" + script.readAll());
    QFile systemctl(QStringLiteral(NOXEL_VPN_STANDINS "/systemctl"));
    if (!systemctl.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("cannot read ") + systemctl.fileName();
        return;
    }
    install(QStringLiteral("systemctl"), systemctl.readAll());
    // stunnel in the foreground until it is stopped.
    const QByteArray waiter = "#!/bin/sh\n"
                              "echo $$ >> \"$NOXEL_FAKE_OPENVPN_DIR/pids\"\n"
                              "echo \"#stunnel $*\" >> \"$NOXEL_FAKE_OPENVPN_DIR/record\"\n"
                              "trap 'exit 0' TERM\n"
                              // Never outlive a test that lost track of it.
                              "n=0\n"
                              "while [ $n -lt 240 ]; do sleep 1 & wait $!; n=$((n+1)); done\n";
    install(QStringLiteral("stunnel"), waiter);
    install(QStringLiteral("stunnel4"), waiter);
    const QByteArray failing = "#!/bin/sh\necho \"stand-in $0: not available in this test\"\nexit 1\n";
    for (const char *name : { "pppd", "pptp", "xl2tpd", "ipsec" })
        install(QString::fromLatin1(name), failing);

    qputenv("PATH", QFile::encodeName(dir.filePath(QStringLiteral("bin"))) + ':' + qgetenv("PATH"));
    qputenv("NOXEL_FAKE_OPENVPN_DIR", QFile::encodeName(dir.filePath(QStringLiteral("record"))));
    qputenv("NOXEL_FAKE_OPENVPN_DIALOGUE", QFile::encodeName(dir.filePath(QStringLiteral("dialogue"))));
    setMode(QStringLiteral("serve"));
    setDialogue({});
}

FakeOpenVpn::~FakeOpenVpn()
{
    killAll();
}

bool FakeOpenVpn::isValid() const
{
    return why.isEmpty();
}

QString FakeOpenVpn::reason() const
{
    return why;
}

QString FakeOpenVpn::path() const
{
    return dir.path();
}

void FakeOpenVpn::install(const QString &name, const QByteArray &text) const
{
    const QString path = dir.filePath(QStringLiteral("bin/") + name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
    file.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void FakeOpenVpn::setMode(const QString &mode) const
{
    qputenv("NOXEL_FAKE_OPENVPN_MODE", mode.toLatin1());
}

void FakeOpenVpn::setDialogue(const QStringList &lines) const
{
    QFile file(dir.filePath(QStringLiteral("dialogue")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

void FakeOpenVpn::setService(const QString &configDirectory, const QString &mode) const
{
    QFile config(dir.filePath(QStringLiteral("record/service-config")));
    if (config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        config.write(QFile::encodeName(configDirectory) + '\n');
    QFile modeFile(dir.filePath(QStringLiteral("record/service-mode")));
    if (modeFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        modeFile.write(mode.toLatin1() + '\n');
}

void FakeOpenVpn::resetService() const
{
    for (const char *name : { "unit.state", "unit.pid", "unit.fresh", "service-config", "service-mode" })
        QFile::remove(dir.filePath(QStringLiteral("record/") + QLatin1String(name)));
}

QString FakeOpenVpn::serviceState() const
{
    const QByteArray state = readFile(dir.filePath(QStringLiteral("record/unit.state"))).trimmed();
    return state.isEmpty() ? QStringLiteral("inactive") : QString::fromLatin1(state);
}

int FakeOpenVpn::systemctlCalls(const QString &verb) const
{
    const QString call = QStringLiteral("#systemctl %1 --no-block NoxelOpenVPNService.service").arg(verb);
    return int(record().count(call));
}

void FakeOpenVpn::clearRecord() const
{
    QFile::remove(dir.filePath(QStringLiteral("record/record")));
    QDir(dir.filePath(QStringLiteral("gates"))).removeRecursively();
    QDir().mkpath(dir.filePath(QStringLiteral("gates")));
}

QStringList FakeOpenVpn::record() const
{
    return QString::fromUtf8(readFile(dir.filePath(QStringLiteral("record/record"))))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList FakeOpenVpn::commands() const
{
    QStringList commands;
    const QStringList lines = record();
    for (const QString &line : lines) {
        if (!line.startsWith(QLatin1Char('#')))
            commands << line;
    }
    return commands;
}

QStringList FakeOpenVpn::arguments() const
{
    const QStringList lines = record();
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->startsWith(QLatin1String("#args ")))
            return it->mid(6).split(QChar(0x1f));
    }
    return {};
}

int FakeOpenVpn::starts() const
{
    int count = 0;
    const QStringList lines = record();
    for (const QString &line : lines)
        count += line.startsWith(QLatin1String("#start ")) ? 1 : 0;
    return count;
}

QString FakeOpenVpn::gate(const QString &name) const
{
    return dir.filePath(QStringLiteral("gates/") + name);
}

void FakeOpenVpn::release(const QString &name) const
{
    QFile file(gate(name));
    if (file.open(QIODevice::WriteOnly))
        file.close();
}

QList<qint64> FakeOpenVpn::running(const QString &name) const
{
    QList<qint64> found;
    const QList<QByteArray> pids = readFile(dir.filePath(QStringLiteral("record/pids"))).split('\n');
    const QByteArray program = QFile::encodeName(dir.filePath(QStringLiteral("bin/") + name));
    for (const QByteArray &entry : pids) {
        const qint64 pid = entry.trimmed().toLongLong();
        if (pid <= 0)
            continue;
        const QList<QByteArray> words = readFile(QStringLiteral("/proc/%1/cmdline").arg(pid)).split('\0');
        if (words.contains(program))
            found << pid;
    }
    return found;
}

int FakeOpenVpn::killAll() const
{
    int killed = 0;
    const QList<QByteArray> pids = readFile(dir.filePath(QStringLiteral("record/pids"))).split('\n');
    for (const QByteArray &entry : pids) {
        const qint64 pid = entry.trimmed().toLongLong();
        // Only our own stand-in, should the number have been reused.
        const QByteArray commandLine = readFile(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (pid <= 0 || !commandLine.contains(QFile::encodeName(dir.path())))
            continue;
        if (::kill(pid_t(pid), SIGKILL) == 0)
            ++killed;
    }
    return killed;
}

QStringList FakeOpenVpn::handshakeUntilHold()
{
    return {
        QStringLiteral("send >INFO:OpenVPN Management Interface Version 5 -- type 'help' for more info"),
        QStringLiteral("send >HOLD:Waiting for hold release:0"),
        QStringLiteral("expect log on"),
        QStringLiteral("send SUCCESS: real-time log notification set to ON"),
        QStringLiteral("expect state on"),
        QStringLiteral("send SUCCESS: real-time state notification set to ON"),
        QStringLiteral("expect bytecount 1"),
        QStringLiteral("send SUCCESS: bytecount interval changed"),
        QStringLiteral("expect pid"),
        QStringLiteral("send SUCCESS: pid=4242"),
        QStringLiteral("expect state"),
        QStringLiteral("send 1700000000,CONNECTING,,,,,,"),
        QStringLiteral("send END"),
        QStringLiteral("expect hold release"),
        QStringLiteral("send SUCCESS: hold release succeeded"),
        QStringLiteral("send >STATE:1700000001,RESOLVE,,,,,,"),
        QStringLiteral("send >STATE:1700000002,TCP_CONNECT,,,,,,"),
        QStringLiteral("send >STATE:1700000003,WAIT,,,,,,"),
        QStringLiteral("send >STATE:1700000004,AUTH,,,,,,"),
    };
}

QStringList FakeOpenVpn::handshake(const QString &username, const QString &password)
{
    return handshakeUntilHold()
        + QStringList {
              QStringLiteral("send >PASSWORD:Need 'Auth' username/password"),
              QStringLiteral("expect username \"Auth\" ") + quoted(username),
              QStringLiteral("send SUCCESS: 'Auth' username entered, but not yet verified"),
              QStringLiteral("expect password \"Auth\" ") + quoted(password),
              QStringLiteral("send SUCCESS: 'Auth' password entered, but not yet verified"),
          };
}

bool FakeOpenVpn::provideTunDevice() const
{
    QFile tun(path() + QStringLiteral("/tun"));
    if (!tun.open(QIODevice::WriteOnly))
        return false;
    qputenv("NOXEL_TUN_DEVICE", QFile::encodeName(tun.fileName()));
    return true;
}
