#pragma once

#include <QStringList>
#include <QTemporaryDir>

// The programs the connection engine starts, as stand-ins in a folder put first on
// PATH: openvpn (standins/openvpn.py, a scripted management interface on
// 127.0.0.1:1111), stunnel that only waits to be stopped, systemctl with the unit of
// the privileged OpenVPN service (standins/systemctl), and pppd, pptp, xl2tpd and
// ipsec that fail at once. Create one before the application object: it sets
// PATH and the variables the stand-ins read.
class FakeOpenVpn
{
public:
    FakeOpenVpn();
    ~FakeOpenVpn();

    // False when python3 or the folder is missing; reason() says which.
    bool isValid() const;
    QString reason() const;
    QString path() const;

    // "serve", "noport" (the management port never opens) or "exit" (exits at once).
    void setMode(const QString &mode) const;
    // The unit of the privileged service is installed and runs the stand-in openvpn with config.ovpn of
    // configDirectory, in mode (as for setMode) from its next start on.
    void setService(const QString &configDirectory, const QString &mode) const;
    // Forgets the unit: not installed, inactive, nothing started.
    void resetService() const;
    // The unit's state as systemctl last showed it: "active", "failed", "inactive".
    QString serviceState() const;
    // How often systemctl was asked to start or stop the unit since clearRecord().
    int systemctlCalls(const QString &verb) const;
    // The lines the next openvpn plays on its first management connection.
    void setDialogue(const QStringList &lines) const;
    // Forgets what earlier runs recorded.
    void clearRecord() const;
    // Everything recorded, events starting with "#".
    QStringList record() const;
    // The commands received, in order.
    QStringList commands() const;
    // The arguments of the latest start; empty before any.
    QStringList arguments() const;
    int starts() const;
    // For a dialogue's "waitfile": a path that release() creates.
    QString gate(const QString &name) const;
    void release(const QString &name) const;
    // The stand-ins of that name (openvpn, stunnel4) still running.
    QList<qint64> running(const QString &name) const;
    // SIGKILL for every stand-in still running; returns how many there were.
    int killAll() const;
    // A stand-in tun device in the stand-ins' folder, so that the driver never asks
    // for the set-up; false when it cannot be made.
    bool provideTunDevice() const;

    // The greeting, the hold and the set-up commands, then the credentials.
    static QStringList handshake(const QString &username, const QString &password);
    // Just before the credentials are asked for.
    static QStringList handshakeUntilHold();

private:
    void install(const QString &name, const QByteArray &text) const;

    QTemporaryDir dir;
    QString python;
    QString why;
};
