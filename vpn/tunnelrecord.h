#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// What the OpenVPN driver started for the tunnel in hand, kept in a file of the
// user's own while the tunnel may run: should the program die without ending it,
// its next run learns from the file what to end.
class TunnelRecord
{
public:
    // Beside the OpenVPN configuration.
    static QString fileName();
    // A null record when there is no file or it cannot be read.
    static TunnelRecord load();
    static void remove();

    bool isNull() const;
    // Readable by the user only, as it holds the management password.
    bool save() const;

    // OpenVPN runs under the privileged service rather than as our child.
    bool service = false;
    qint64 openVpnPid = 0;
    qint64 stunnelPid = 0;
    quint16 managementPort = 0;
    QByteArray managementPassword;
};
