#include "rasphonebook.h"

#include "constants.h"
#include "vpnconfiguration.h"
#include "vpnserver.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

// Letters, digits, dots, hyphens and the colons of IPv6 addresses: the host goes
// into pptp's command line, which pppd hands to a shell.
bool isHostName(const QString &host)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9.:-]+$"));
    return host.size() <= RasPhonebook::MaximumHostLength && pattern.match(host).hasMatch();
}

// The files quote values with double quotes and read backslashes as escapes; a
// line break would end the option early.
bool isQuotable(const QString &value)
{
    if (value.size() > RasPhonebook::MaximumSecretLength)
        return false;
    for (const QChar c : value) {
        if (c.unicode() < 0x20 || c == QChar(0x7f) || c == QLatin1Char('"') || c == QLatin1Char('\\'))
            return false;
    }
    return true;
}

// A program path pppd's shell runs as it stands.
bool isPlainPath(const QString &path)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_./+-]+$"));
    return pattern.match(path).hasMatch();
}

QByteArray quoted(const QString &value)
{
    return '"' + value.toUtf8() + '"';
}

} // namespace

class RasPhonebookPrivate
{
public:
    QString folder;
    QString errorString;

    QString path(const QString &name) const { return folder + QLatin1Char('/') + name; }

    bool makeFolder()
    {
        if (!QDir().mkpath(folder)) {
            errorString = RasPhonebook::tr("cannot create the folder %1").arg(folder);
            return false;
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return true;
    }

    // Created afresh, owner-only from the first byte: removing first means a
    // leftover, or a link someone put in its place, is replaced and not written through.
    bool write(const QString &fileName, const QByteArray &contents)
    {
        if (!makeFolder())
            return false;
        QFile::remove(fileName);
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner)) {
            errorString = RasPhonebook::tr("cannot write %1: %2").arg(fileName, file.errorString());
            return false;
        }
        if (file.write(contents) != contents.size() || !file.flush()) {
            errorString = RasPhonebook::tr("cannot write %1: %2").arg(fileName, file.errorString());
            file.close();
            QFile::remove(fileName);
            return false;
        }
        return true;
    }
};

RasPhonebook::RasPhonebook()
    : d(new RasPhonebookPrivate)
{
    d->folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/ppp");
}

RasPhonebook::~RasPhonebook()
{
    removeAll();
}

QString RasPhonebook::check(const VpnServer &server, const VpnConfiguration &configuration)
{
    if (server.host().isEmpty())
        return tr("The server has no host name to dial.");
    if (!isHostName(server.host()))
        return tr("The server's host name is too long or holds characters a host name cannot have.");
    if (configuration.username().isEmpty())
        return tr("The VPN account has no user name.");
    if (!isQuotable(configuration.username()))
        return tr("The VPN user name is too long or holds line breaks, quotes or backslashes.");
    if (!isQuotable(configuration.password()))
        return tr("The VPN password is too long or holds line breaks, quotes or backslashes.");
    if (configuration.protocol() == Vpn::L2tp && !isQuotable(configuration.preSharedKey()))
        return tr("The pre-shared key is too long or holds line breaks, quotes or backslashes.");
    return QString();
}

QString RasPhonebook::folder() const
{
    return d->folder;
}

QString RasPhonebook::peerFileName() const
{
    return d->path(PRODUCT_NAME);
}

QString RasPhonebook::xl2tpdConfigFileName() const
{
    return d->path(QStringLiteral("xl2tpd.conf"));
}

QString RasPhonebook::xl2tpdControlFileName() const
{
    return d->path(QStringLiteral("xl2tpd.control"));
}

QString RasPhonebook::xl2tpdPidFileName() const
{
    return d->path(QStringLiteral("xl2tpd.pid"));
}

QString RasPhonebook::ipsecConfigFileName() const
{
    return d->path(QStringLiteral("ipsec.conf"));
}

QString RasPhonebook::ipsecSecretsFileName() const
{
    return d->path(QStringLiteral("ipsec.secrets"));
}

QString RasPhonebook::strongSwanConfigFileName() const
{
    return d->path(QStringLiteral("strongswan.conf"));
}

bool RasPhonebook::writePeer(const VpnServer &server, const VpnConfiguration &configuration,
    const QString &pptpProgram, bool requireMppe)
{
    const QString invalid = check(server, configuration);
    if (!invalid.isEmpty()) {
        d->errorString = invalid;
        return false;
    }
    if (!pptpProgram.isEmpty() && !isPlainPath(pptpProgram)) {
        d->errorString = tr("the path of pptp, %1, has characters pppd cannot run").arg(pptpProgram);
        return false;
    }

    const QByteArray name = PRODUCT_NAME.toUtf8();
    QByteArray text = "# One connection attempt's options; removed once pppd has read them.\n";
    if (!pptpProgram.isEmpty())
        text += "pty "
            + quoted(pptpProgram + QLatin1Char(' ') + server.host() + QStringLiteral(" --nolaunchpppd"))
            + '\n';
    text += "name " + quoted(configuration.username()) + '\n';
    text += "password " + quoted(configuration.password()) + '\n';
    text += "remotename " + name + '\n';
    if (requireMppe)
        text += "require-mppe-128\n";
    // MS-CHAPv2 is what is left.
    text += "refuse-eap\nrefuse-pap\nrefuse-chap\nrefuse-mschap\n";
    text += "noauth\nnodeflate\nnobsdcomp\n";
    // Debian's pppd has long carried replacedefaultroute; upstream has it since 2.5.
    text += "defaultroute\nreplacedefaultroute\n";
    text += "maxfail 1\nnodetach\n";
    text += "ipparam " + name + '\n';
    // Under xl2tpd pppd's standard output is the tunnel's pty; its standard error
    // still reaches xl2tpd's, which the dialer reads.
    if (pptpProgram.isEmpty())
        text += "logfd 2\n";
    return d->write(peerFileName(), text);
}

bool RasPhonebook::writeXl2tpdConfig(const VpnServer &server)
{
    if (!isHostName(server.host())) {
        d->errorString = check(server, VpnConfiguration());
        return false;
    }
    QByteArray text = "; One connection attempt's settings for xl2tpd.\n"
                      "[global]\n"
                      "access control = no\n"
                      "\n"
                      "[lac "
        + PRODUCT_NAME.toUtf8() + "]\n";
    text += "lns = " + server.host().toUtf8() + '\n';
    text += "pppoptfile = " + QFile::encodeName(peerFileName()) + '\n';
    text += "autodial = no\n"
            "redial = no\n"
            "length bit = yes\n";
    return d->write(xl2tpdConfigFileName(), text);
}

bool RasPhonebook::writeIpsec(const VpnServer &server, const VpnConfiguration &configuration)
{
    const QString invalid = check(server, configuration);
    if (!invalid.isEmpty()) {
        d->errorString = invalid;
        return false;
    }
    QByteArray conf = "config setup\n"
                      "\n"
                      "conn "
        + PRODUCT_NAME.toUtf8() + "\n";
    conf += "\tkeyexchange=ikev1\n"
            "\tauthby=secret\n"
            "\ttype=transport\n"
            "\tleft=%defaultroute\n"
            "\tleftprotoport=17/1701\n"
            "\tright="
        + server.host().toUtf8() + "\n";
    conf += "\trightprotoport=17/1701\n"
            "\tauto=add\n";

    const QByteArray secrets = ": PSK " + quoted(configuration.preSharedKey()) + '\n';

    // The system's settings first; ours only move charon's secrets to our file.
    QByteArray strongSwan = "include /etc/strongswan.conf\n"
                            "charon {\n"
                            "\tplugins {\n"
                            "\t\tstroke {\n"
                            "\t\t\tsecrets_file = "
        + QFile::encodeName(ipsecSecretsFileName()) + "\n";
    strongSwan += "\t\t}\n"
                  "\t}\n"
                  "}\n";

    if (d->write(ipsecConfigFileName(), conf) && d->write(ipsecSecretsFileName(), secrets)
        && d->write(strongSwanConfigFileName(), strongSwan))
        return true;
    removeIpsec();
    return false;
}

void RasPhonebook::removePeer()
{
    QFile::remove(peerFileName());
}

void RasPhonebook::removeIpsec()
{
    QFile::remove(ipsecSecretsFileName());
    QFile::remove(ipsecConfigFileName());
    QFile::remove(strongSwanConfigFileName());
}

void RasPhonebook::removeAll()
{
    removePeer();
    removeIpsec();
    QFile::remove(xl2tpdConfigFileName());
    QFile::remove(xl2tpdControlFileName());
    QFile::remove(xl2tpdPidFileName());
}

QString RasPhonebook::errorString() const
{
    return d->errorString;
}
