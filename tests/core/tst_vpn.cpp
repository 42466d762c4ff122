#include "vpn.h"

#include <QTest>

class TestVpn : public QObject
{
    Q_OBJECT

private slots:
    void knownProtocols_data();
    void knownProtocols();
    void unknownKeys_data();
    void unknownKeys();
    void outOfRangeProtocols_data();
    void outOfRangeProtocols();
};

void TestVpn::knownProtocols_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("displayName");

    // The numbers are stored in the database and in settings.
    QTest::newRow("tcp") << QStringLiteral("ovpn_tcp") << 0 << QStringLiteral("OpenVPN (TCP)");
    QTest::newRow("udp") << QStringLiteral("ovpn_udp") << 1 << QStringLiteral("OpenVPN (UDP)");
    QTest::newRow("l2tp") << QStringLiteral("l2tp") << 2 << QStringLiteral("L2TP");
    QTest::newRow("pptp") << QStringLiteral("pptp") << 3 << QStringLiteral("PPTP");
    QTest::newRow("stealth") << QStringLiteral("ovpn_stealth") << 4 << QStringLiteral("OpenVPN (Stealth)");
}

void TestVpn::knownProtocols()
{
    QFETCH(QString, key);
    QFETCH(int, number);
    QFETCH(QString, displayName);

    const Vpn::Protocol protocol = Vpn::GetProtocol(key);
    QCOMPARE(int(protocol), number);
    QCOMPARE(Vpn::GetProtocolKey(protocol), key);
    QCOMPARE(Vpn::GetProtocolDisplayName(protocol), displayName);
    QCOMPARE(Vpn::GetValidProtocolKey(key), key);
}

void TestVpn::unknownKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("empty") << QString();
    QTest::newRow("upper case") << QStringLiteral("OVPN_TCP");
    QTest::newRow("mixed case") << QStringLiteral("L2tp");
    QTest::newRow("padded") << QStringLiteral(" pptp");
    QTest::newRow("display name") << QStringLiteral("OpenVPN (TCP)");
    QTest::newRow("prefix") << QStringLiteral("ovpn");
}

void TestVpn::unknownKeys()
{
    QFETCH(QString, key);
    QCOMPARE(Vpn::GetProtocol(key), Vpn::OpenVpnUdp);
    QVERIFY(Vpn::GetValidProtocolKey(key).isNull());
}

void TestVpn::outOfRangeProtocols_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("five") << 5;
    QTest::newRow("minus one") << -1;
}

void TestVpn::outOfRangeProtocols()
{
    QFETCH(int, number);
    const auto protocol = Vpn::Protocol(number);
    QVERIFY(!Vpn::GetProtocolKey(protocol).isNull());
    QVERIFY(Vpn::GetProtocolKey(protocol).isEmpty());
    QVERIFY(!Vpn::GetProtocolDisplayName(protocol).isNull());
    QVERIFY(Vpn::GetProtocolDisplayName(protocol).isEmpty());
}

QTEST_APPLESS_MAIN(TestVpn)
#include "tst_vpn.moc"
