#include "rasphonebook.h"
#include "testhome.h"
#include "vpnconfiguration.h"
#include "vpnserver.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

#include <sys/stat.h>

namespace {

VpnServer server(const QString &host = QStringLiteral("vpn.example.net"))
{
    VpnServer server;
    server.setUid(QStringLiteral("nl-ams-01"));
    server.setHost(host);
    return server;
}

VpnConfiguration configuration(Vpn::Protocol protocol, const QString &user = QStringLiteral("alice"),
    const QString &password = QStringLiteral("pass word#1"),
    const QString &psk = QStringLiteral("shared key"))
{
    VpnConfiguration configuration;
    configuration.setProtocol(protocol);
    configuration.setUsername(user);
    configuration.setPassword(password);
    configuration.setPreSharedKey(psk);
    return configuration;
}

int modeOf(const QString &path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return info.st_mode & 07777;
}

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestRasPhonebook : public QObject
{
    Q_OBJECT

public:
    explicit TestRasPhonebook(const TestHome &) { }

private slots:
    void cleanup() { RasPhonebook().removeAll(); }

    void check_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("psk");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("refusal"); // empty: accepted

        const QString ok = QStringLiteral("ok");
        const auto row
            = [&](const char *name, const QString &host, const QString &user, const QString &password,
                  const QString &psk, Vpn::Protocol protocol, const QString &refusal) {
                  QTest::newRow(name) << host << user << password << psk << int(protocol) << refusal;
              };
        const QString host = QStringLiteral("vpn.example.net");
        row("pptp", host, ok, ok, QString(), Vpn::Pptp, QString());
        row("l2tp", host, ok, ok, ok, Vpn::L2tp, QString());
        row("ipv6 host", QStringLiteral("2001:db8::1"), ok, ok, ok, Vpn::L2tp, QString());
        row("longest values", QString(128, QLatin1Char('h')), QString(256, QLatin1Char('u')),
            QString(256, QLatin1Char('p')), QString(256, QLatin1Char('k')), Vpn::L2tp, QString());
        row("no host", QString(), ok, ok, ok, Vpn::Pptp, QStringLiteral("no host name"));
        row("host too long", QString(129, QLatin1Char('h')), ok, ok, ok, Vpn::Pptp,
            QStringLiteral("host name"));
        row("host with space", QStringLiteral("vpn.example.net; rm"), ok, ok, ok, Vpn::Pptp,
            QStringLiteral("host name"));
        row("host with quote", QStringLiteral("vpn\".example.net"), ok, ok, ok, Vpn::Pptp,
            QStringLiteral("host name"));
        row("no user", host, QString(), ok, ok, Vpn::Pptp, QStringLiteral("no user name"));
        row("user too long", host, QString(257, QLatin1Char('u')), ok, ok, Vpn::Pptp,
            QStringLiteral("user name"));
        row("user with line break", host, QStringLiteral("alice\nnoauth"), ok, ok, Vpn::Pptp,
            QStringLiteral("user name"));
        row("user with quote", host, QStringLiteral("al\"ice"), ok, ok, Vpn::Pptp,
            QStringLiteral("user name"));
        row("password too long", host, ok, QString(257, QLatin1Char('p')), ok, Vpn::Pptp,
            QStringLiteral("password"));
        row("password with carriage return", host, ok, QStringLiteral("pa\rss"), ok, Vpn::Pptp,
            QStringLiteral("password"));
        row("password with backslash", host, ok, QStringLiteral("pa\\ss"), ok, Vpn::Pptp,
            QStringLiteral("password"));
        row("empty password", host, ok, QString(), ok, Vpn::Pptp, QString());
        row("psk with quote", host, ok, ok, QStringLiteral("k\"ey"), Vpn::L2tp,
            QStringLiteral("pre-shared key"));
        row("psk too long", host, ok, ok, QString(257, QLatin1Char('k')), Vpn::L2tp,
            QStringLiteral("pre-shared key"));
        row("psk unused by pptp", host, ok, ok, QStringLiteral("k\"ey"), Vpn::Pptp, QString());
    }

    void check()
    {
        QFETCH(QString, host);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, psk);
        QFETCH(int, protocol);
        QFETCH(QString, refusal);

        const VpnServer s = server(host);
        const VpnConfiguration c = configuration(Vpn::Protocol(protocol), user, password, psk);
        const QString why = RasPhonebook::check(s, c);
        if (refusal.isEmpty()) {
            QVERIFY2(why.isEmpty(), qPrintable(why));
            return;
        }
        QVERIFY2(why.contains(refusal), qPrintable(why));
        // Nothing the check refuses reaches a file.
        RasPhonebook phonebook;
        QVERIFY(!phonebook.writePeer(s, c, QString(), true));
        QVERIFY(!phonebook.writeIpsec(s, c));
        QVERIFY(!QFile::exists(phonebook.peerFileName()));
    }

    void peerOptions_data()
    {
        QTest::addColumn<QString>("pptp");
        QTest::addColumn<bool>("requireMppe");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");

        const QStringList common = { QStringLiteral("name \"alice\""),
            QStringLiteral("password \"pass word#1\""), QStringLiteral("remotename noxel"),
            QStringLiteral("refuse-eap"), QStringLiteral("refuse-pap"), QStringLiteral("refuse-chap"),
            QStringLiteral("refuse-mschap"), QStringLiteral("noauth"), QStringLiteral("nodeflate"),
            QStringLiteral("nobsdcomp"), QStringLiteral("defaultroute"),
            QStringLiteral("replacedefaultroute"), QStringLiteral("maxfail 1"), QStringLiteral("nodetach"),
            QStringLiteral("ipparam noxel") };
        const QStringList never = { QStringLiteral("persist"), QStringLiteral("usepeerdns") };

        QTest::newRow("pptp") << QStringLiteral("/usr/sbin/pptp") << true
                              << common
                + QStringList { QStringLiteral("require-mppe-128"),
                      QStringLiteral("pty \"/usr/sbin/pptp vpn.example.net --nolaunchpppd\"") }
                              << never + QStringList { QStringLiteral("logfd 2") };
        QTest::newRow("l2tp") << QString() << true
                              << common
                + QStringList { QStringLiteral("require-mppe-128"), QStringLiteral("logfd 2") }
                              << never;
        QTest::newRow("l2tp over ipsec")
            << QString() << false << common + QStringList { QStringLiteral("logfd 2") }
            << never + QStringList { QStringLiteral("require-mppe-128") };
    }

    void peerOptions()
    {
        QFETCH(QString, pptp);
        QFETCH(bool, requireMppe);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);

        RasPhonebook phonebook;
        QCOMPARE(phonebook.peerFileName(),
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/ppp/noxel"));
        QVERIFY2(phonebook.writePeer(
                     server(), configuration(pptp.isEmpty() ? Vpn::L2tp : Vpn::Pptp), pptp, requireMppe),
            qPrintable(phonebook.errorString()));
        QCOMPARE(modeOf(phonebook.peerFileName()), 0600);
        QCOMPARE(modeOf(phonebook.folder()), 0700);
        const QStringList lines = linesOf(phonebook.peerFileName());
        for (const QString &option : present)
            QVERIFY2(lines.contains(option), qPrintable(option));
        for (const QString &option : absent) {
            for (const QString &line : lines)
                QVERIFY2(!line.startsWith(option), qPrintable(line));
        }
        phonebook.removePeer();
        QVERIFY(!QFile::exists(phonebook.peerFileName()));
    }

    void pptpPathMustBePlain()
    {
        RasPhonebook phonebook;
        QVERIFY(!phonebook.writePeer(
            server(), configuration(Vpn::Pptp), QStringLiteral("/opt/my tools/pptp"), true));
        QVERIFY(phonebook.errorString().contains(QLatin1String("pptp")));
        QVERIFY(!QFile::exists(phonebook.peerFileName()));
    }

    void replacesWhatWasThere_data()
    {
        QTest::addColumn<bool>("link");
        QTest::newRow("readable leftover") << false;
        QTest::newRow("link to another file") << true;
    }

    void replacesWhatWasThere()
    {
        QFETCH(bool, link);
        RasPhonebook phonebook;
        QDir().mkpath(phonebook.folder());
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("target"));
        QFile old(link ? target : phonebook.peerFileName());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("keep me\n");
        old.close();
        QVERIFY(
            old.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        if (link)
            QVERIFY(QFile::link(target, phonebook.peerFileName()));

        QVERIFY(
            phonebook.writePeer(server(), configuration(Vpn::Pptp), QStringLiteral("/usr/sbin/pptp"), true));
        QCOMPARE(modeOf(phonebook.peerFileName()), 0600);
        QVERIFY(!QFileInfo(phonebook.peerFileName()).isSymLink());
        QVERIFY(!linesOf(phonebook.peerFileName()).contains(QStringLiteral("keep me")));
        if (link)
            QCOMPARE(linesOf(target), QStringList { QStringLiteral("keep me") });
    }

    void l2tpFiles()
    {
        RasPhonebook phonebook;
        const VpnConfiguration c = configuration(Vpn::L2tp);
        QVERIFY(phonebook.writePeer(server(), c, QString(), false));
        QVERIFY(phonebook.writeXl2tpdConfig(server()));
        QVERIFY(phonebook.writeIpsec(server(), c));

        const QStringList xl2tpd = linesOf(phonebook.xl2tpdConfigFileName());
        QVERIFY(xl2tpd.contains(QStringLiteral("[lac noxel]")));
        QVERIFY(xl2tpd.contains(QStringLiteral("lns = vpn.example.net")));
        QVERIFY(xl2tpd.contains(QStringLiteral("pppoptfile = ") + phonebook.peerFileName()));
        QVERIFY(xl2tpd.contains(QStringLiteral("redial = no")));

        QCOMPARE(modeOf(phonebook.ipsecSecretsFileName()), 0600);
        QCOMPARE(linesOf(phonebook.ipsecSecretsFileName()),
            QStringList { QStringLiteral(": PSK \"shared key\"") });
        const QStringList conn = linesOf(phonebook.ipsecConfigFileName());
        QVERIFY(conn.contains(QStringLiteral("conn noxel")));
        QVERIFY(conn.contains(QStringLiteral("\ttype=transport")));
        QVERIFY(conn.contains(QStringLiteral("\tright=vpn.example.net")));
        QVERIFY(conn.contains(QStringLiteral("\tauthby=secret")));
        QVERIFY(linesOf(phonebook.strongSwanConfigFileName())
                    .contains(QStringLiteral("\t\t\tsecrets_file = ") + phonebook.ipsecSecretsFileName()));

        phonebook.removeIpsec();
        QVERIFY(!QFile::exists(phonebook.ipsecSecretsFileName()));
        QVERIFY(!QFile::exists(phonebook.ipsecConfigFileName()));
        QVERIFY(!QFile::exists(phonebook.strongSwanConfigFileName()));
        QVERIFY(QFile::exists(phonebook.peerFileName()));
    }
};

NOXEL_APP_TEST_MAIN(TestRasPhonebook)
#include "tst_rasphonebook.moc"
