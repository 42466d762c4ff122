#pragma once

#include <QCoreApplication>
#include <QString>

#include <memory>

class RasPhonebookPrivate;
class VpnConfiguration;
class VpnServer;

// The files one PPTP or L2TP attempt dials with, in the user's own data folder
// (AppDataLocation/ppp): the pppd peer named after the product, xl2tpd's
// configuration and the IPsec files. The peer holds the VPN password and the IPsec
// secrets the pre-shared key: both are written owner-only and removed as soon as
// their readers have read them. Every write replaces what a former attempt left.
class RasPhonebook
{
    Q_DECLARE_TR_FUNCTIONS(RasPhonebook)

public:
    // Longest values the files take.
    static constexpr int MaximumHostLength = 128;
    static constexpr int MaximumSecretLength = 256;

    RasPhonebook();
    // Removes every file it wrote.
    ~RasPhonebook();

    // Why the values cannot be written into the files, in plain words; null when they can.
    static QString check(const VpnServer &server, const VpnConfiguration &configuration);

    QString folder() const;
    QString peerFileName() const;
    QString xl2tpdConfigFileName() const;
    QString xl2tpdControlFileName() const;
    QString xl2tpdPidFileName() const;
    QString ipsecConfigFileName() const;
    QString ipsecSecretsFileName() const;
    QString strongSwanConfigFileName() const;

    // pppd's options. With a pptp program the peer dials PPTP through it; without
    // one it is the options file xl2tpd hands to the pppd it starts. MPPE is
    // required unless IPsec already encrypts the tunnel.
    bool writePeer(const VpnServer &server, const VpnConfiguration &configuration, const QString &pptpProgram,
        bool requireMppe);
    bool writeXl2tpdConfig(const VpnServer &server);
    // ipsec.conf, ipsec.secrets and the strongswan.conf that points charon at them.
    bool writeIpsec(const VpnServer &server, const VpnConfiguration &configuration);

    // The peer, which holds the password.
    void removePeer();
    // The IPsec files; the secrets hold the pre-shared key.
    void removeIpsec();
    void removeAll();

    // What the last failed write ran into.
    QString errorString() const;

private:
    std::unique_ptr<RasPhonebookPrivate> d;
};
