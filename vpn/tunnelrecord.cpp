#include "tunnelrecord.h"

#include "openvpn.h"

#include <QFile>
#include <QSaveFile>

namespace {

const QByteArray KeyService = "service";
const QByteArray KeyOpenVpnPid = "openvpn_pid";
const QByteArray KeyStunnelPid = "stunnel_pid";
const QByteArray KeyPort = "management_port";
const QByteArray KeyPassword = "management_password";

} // namespace

QString TunnelRecord::fileName()
{
    return OpenVpn::configDirectory() + QStringLiteral("/tunnel.record");
}

TunnelRecord TunnelRecord::load()
{
    TunnelRecord record;
    QFile file(fileName());
    if (!file.open(QIODevice::ReadOnly))
        return record;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (key == KeyService)
            record.service = value == "1";
        else if (key == KeyOpenVpnPid)
            record.openVpnPid = value.toLongLong();
        else if (key == KeyStunnelPid)
            record.stunnelPid = value.toLongLong();
        else if (key == KeyPort)
            record.managementPort = value.toUShort();
        else if (key == KeyPassword)
            record.managementPassword = value;
    }
    return record;
}

void TunnelRecord::remove()
{
    QFile::remove(fileName());
}

bool TunnelRecord::isNull() const
{
    return !service && openVpnPid <= 0 && stunnelPid <= 0;
}

bool TunnelRecord::save() const
{
    QSaveFile file(fileName());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(KeyService + '=' + (service ? "1" : "0") + '\n');
    file.write(KeyOpenVpnPid + '=' + QByteArray::number(openVpnPid) + '\n');
    file.write(KeyStunnelPid + '=' + QByteArray::number(stunnelPid) + '\n');
    file.write(KeyPort + '=' + QByteArray::number(managementPort) + '\n');
    file.write(KeyPassword + '=' + managementPassword + '\n');
    return file.commit();
}
