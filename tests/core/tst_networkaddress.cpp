#include "mirrow.h"
#include "networkaddress.h"

#include <QTest>
#include <QXmlStreamReader>

namespace {

// The address read from the first element of xml.
NetworkAddress fromXml(const QString &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd() && !reader.isStartElement())
        reader.readNext();
    return NetworkAddress(reader);
}

QStringList descriptions(const QList<NetworkAddress> &addresses)
{
    QStringList list;
    for (const NetworkAddress &address : addresses)
        list << address.description();
    return list;
}

} // namespace

class TestNetworkAddress : public QObject
{
    Q_OBJECT

private slots:
    void construction_data();
    void construction();
    void fromXml_data();
    void fromXml();
    void equality_data();
    void equality();
    void nullness();
    void copiesAreIndependent();
    void builtInMirrors();
    void mirrorsFromEnvironment_data();
    void mirrorsFromEnvironment();
    void cleanup();
};

void TestNetworkAddress::construction_data()
{
    QTest::addColumn<quint16>("port");
    QTest::addColumn<bool>("secure");
    QTest::addColumn<QString>("description");

    QTest::newRow("443 tls") << quint16(443) << true << QStringLiteral("tls://api.example.net:443");
    QTest::newRow("1080 plain") << quint16(1080) << false << QStringLiteral("api.example.net:1080");
    QTest::newRow("32768") << quint16(32768) << true << QStringLiteral("tls://api.example.net:32768");
    QTest::newRow("40000") << quint16(40000) << false << QStringLiteral("api.example.net:40000");
    QTest::newRow("65535") << quint16(65535) << true << QStringLiteral("tls://api.example.net:65535");
}

void TestNetworkAddress::construction()
{
    QFETCH(quint16, port);
    QFETCH(bool, secure);
    QFETCH(QString, description);

    const NetworkAddress address(QStringLiteral("api.example.net"), port, secure, 3);
    QVERIFY(!address.isNull());
    QCOMPARE(address.host(), QStringLiteral("api.example.net"));
    QCOMPARE(address.port(), port);
    QCOMPARE(address.isSecure(), secure);
    QCOMPARE(address.failures(), 3);
    QCOMPARE(address.description(), description);
}

void TestNetworkAddress::fromXml_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<quint16>("port");
    QTest::addColumn<bool>("secure");

    QTest::newRow("443 secure") << QStringLiteral("<address port=\"443\" secure=\"true\">h.example</address>")
                                << quint16(443) << true;
    QTest::newRow("40000") << QStringLiteral("<address port=\"40000\" secure=\"false\">h.example</address>")
                           << quint16(40000) << false;
    QTest::newRow("65535") << QStringLiteral("<address port=\"65535\" secure=\"true\">h.example</address>")
                           << quint16(65535) << true;
    QTest::newRow("letters, upper-case TRUE")
        << QStringLiteral("<address port=\"abc\" secure=\"TRUE\">h.example</address>") << quint16(0) << true;
    QTest::newRow("no attributes") << QStringLiteral("<address>h.example</address>") << quint16(0) << false;
    QTest::newRow("70000") << QStringLiteral("<address port=\"70000\">h.example</address>") << quint16(0)
                           << false;
    QTest::newRow("65536") << QStringLiteral("<address port=\"65536\">h.example</address>") << quint16(0)
                           << false;
    QTest::newRow("negative") << QStringLiteral("<address port=\"-1\">h.example</address>") << quint16(0)
                              << false;
    QTest::newRow("after the prolog, mixed case")
        << QStringLiteral("<?xml version=\"1.0\"?><address secure=\"True\" port=\"1080\">h.example</address>")
        << quint16(1080) << true;
}

void TestNetworkAddress::fromXml()
{
    QFETCH(QString, xml);
    QFETCH(quint16, port);
    QFETCH(bool, secure);

    const NetworkAddress address = ::fromXml(xml);
    QVERIFY(!address.isNull());
    QCOMPARE(address.host(), QStringLiteral("h.example"));
    QCOMPARE(address.port(), port);
    QCOMPARE(address.isSecure(), secure);
    QCOMPARE(address.failures(), 0);
    QCOMPARE(address.description(),
        (secure ? QStringLiteral("tls://") : QString()) + QStringLiteral("h.example:")
            + QString::number(port));
}

void TestNetworkAddress::equality_data()
{
    QTest::addColumn<NetworkAddress>("a");
    QTest::addColumn<NetworkAddress>("b");
    QTest::addColumn<bool>("equal");

    const NetworkAddress base(QStringLiteral("a.example"), 443, true, 0);
    QTest::newRow("same") << base << NetworkAddress(QStringLiteral("a.example"), 443, true, 0) << true;
    QTest::newRow("other security") << base << NetworkAddress(QStringLiteral("a.example"), 443, false, 0)
                                    << true;
    QTest::newRow("other failures") << base << NetworkAddress(QStringLiteral("a.example"), 443, true, 7)
                                    << true;
    QTest::newRow("other port") << base << NetworkAddress(QStringLiteral("a.example"), 1080, true, 0)
                                << false;
    QTest::newRow("other host") << base << NetworkAddress(QStringLiteral("b.example"), 443, true, 0) << false;
    QTest::newRow("high ports") << NetworkAddress(QStringLiteral("a.example"), 65535, true, 0)
                                << NetworkAddress(QStringLiteral("a.example"), 65534, true, 0) << false;
}

void TestNetworkAddress::equality()
{
    QFETCH(NetworkAddress, a);
    QFETCH(NetworkAddress, b);
    QFETCH(bool, equal);
    QCOMPARE(a == b, equal);
    QCOMPARE(b == a, equal);
    QCOMPARE(a != b, !equal);
}

void TestNetworkAddress::nullness()
{
    NetworkAddress address;
    QVERIFY(address.isNull());
    address.setFailures(0);
    QVERIFY(!address.isNull());
    QCOMPARE(address.failures(), 0);

    NetworkAddress other(QStringLiteral("a.example"), 443, true, 2);
    other.clear();
    QVERIFY(other.isNull());
    QVERIFY(other.host().isEmpty());
    QCOMPARE(other.port(), quint16(0));
    QCOMPARE(other.failures(), 0);
}

void TestNetworkAddress::copiesAreIndependent()
{
    const NetworkAddress original(QStringLiteral("a.example"), 40000, true, 1);

    NetworkAddress copy = original;
    copy.setFailures(5);
    QCOMPARE(original.failures(), 1);
    QCOMPARE(copy.failures(), 5);

    NetworkAddress incremented(original);
    incremented.incrementFailures();
    QCOMPARE(original.failures(), 1);
    QCOMPARE(incremented.failures(), 2);

    NetworkAddress reset;
    reset = original;
    reset.resetFailures();
    QCOMPARE(original.failures(), 1);
    QCOMPARE(reset.failures(), 0);

    NetworkAddress cleared = original;
    cleared.clear();
    QVERIFY(!original.isNull());
    QCOMPARE(original.port(), quint16(40000));
}

void TestNetworkAddress::builtInMirrors()
{
    qunsetenv(Mirrow::AddressesVariable);
    const QList<NetworkAddress> addresses = Mirrow::GetAddresses();
    QCOMPARE(addresses.size(), 3);
    const quint16 ports[] = { 443, 1080, 443 };
    for (int i = 0; i < 3; ++i) {
        QVERIFY(!addresses.at(i).isNull());
        QVERIFY(!addresses.at(i).host().isEmpty());
        QVERIFY(addresses.at(i).isSecure());
        QCOMPARE(addresses.at(i).failures(), 0);
        QCOMPARE(addresses.at(i).port(), ports[i]);
    }
}

void TestNetworkAddress::mirrorsFromEnvironment_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QStringList>("expected"); // empty: the built-in mirrors

    QTest::newRow("empty") << QByteArray("") << QStringList();
    QTest::newRow("blank") << QByteArray("  ") << QStringList();
    QTest::newRow("one") << QByteArray("127.0.0.1:40000")
                         << QStringList { QStringLiteral("tls://127.0.0.1:40000") };
    QTest::newRow("tls and tcp") << QByteArray("localhost:8443,tcp://127.0.0.1:8080")
                                 << QStringList { QStringLiteral("tls://localhost:8443"),
                                        QStringLiteral("127.0.0.1:8080") };
    QTest::newRow("explicit tls") << QByteArray("tls://localhost:65535")
                                  << QStringList { QStringLiteral("tls://localhost:65535") };
    QTest::newRow("spaces and empty entries")
        << QByteArray(" localhost:1 ,, tcp://localhost:2 ")
        << QStringList { QStringLiteral("tls://localhost:1"), QStringLiteral("localhost:2") };
    QTest::newRow("malformed skipped")
        << QByteArray("localhost,localhost:abc,:443,localhost:0,localhost:70000,tcp://127.0.0.1:9000")
        << QStringList { QStringLiteral("127.0.0.1:9000") };
    QTest::newRow("all malformed") << QByteArray("nonsense,localhost:,tcp://:1") << QStringList();
}

void TestNetworkAddress::mirrorsFromEnvironment()
{
    QFETCH(QByteArray, value);
    QFETCH(QStringList, expected);

    qunsetenv(Mirrow::AddressesVariable);
    const QStringList builtIn = descriptions(Mirrow::GetAddresses());
    qputenv(Mirrow::AddressesVariable, value);
    const QList<NetworkAddress> addresses = Mirrow::GetAddresses();
    QCOMPARE(descriptions(addresses), expected.isEmpty() ? builtIn : expected);
    for (const NetworkAddress &address : addresses) {
        QVERIFY(!address.isNull());
        QCOMPARE(address.failures(), 0);
    }
}

void TestNetworkAddress::cleanup()
{
    qunsetenv(Mirrow::AddressesVariable);
}

QTEST_APPLESS_MAIN(TestNetworkAddress)
#include "tst_networkaddress.moc"
