#include "addresspool.h"
#include "mirrow.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<NetworkAddress> stored()
{
    QList<NetworkAddress> addresses;
    QSettings settings;
    const int count = settings.beginReadArray(QStringLiteral("addresses"));
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        addresses.append(NetworkAddress(settings.value(QStringLiteral("host")).toString(),
                                        quint16(settings.value(QStringLiteral("port")).toUInt()),
                                        settings.value(QStringLiteral("secure")).toBool(),
                                        settings.value(QStringLiteral("failures")).toInt()));
    }
    settings.endArray();
    return addresses;
}

void store(const QList<NetworkAddress> &addresses)
{
    QSettings settings;
    settings.beginWriteArray(QStringLiteral("addresses"));
    for (int i = 0; i < addresses.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("host"), addresses.at(i).host());
        settings.setValue(QStringLiteral("port"), int(addresses.at(i).port()));
        settings.setValue(QStringLiteral("secure"), addresses.at(i).isSecure());
        settings.setValue(QStringLiteral("failures"), addresses.at(i).failures());
    }
    settings.endArray();
}

} // namespace

class TestAddressPool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
        qputenv(Mirrow::AddressesVariable, "a.test:443,b.test:40443,c.test:65535");
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
        QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    }

    void init() { QSettings().clear(); }

    void firstRunRotatesThroughBuiltIns()
    {
        AddressPool pool;
        QCOMPARE(pool.current().host(), QStringLiteral("a.test"));
        QCOMPARE(pool.next().host(), QStringLiteral("b.test"));
        QCOMPARE(pool.next().port(), quint16(65535));
        QCOMPARE(pool.next().host(), QStringLiteral("a.test"));
        // What is stored starts with the address now in use.
        QCOMPARE(stored().first().host(), QStringLiteral("a.test"));
    }

    void storedListKeepsPortsAndFailures()
    {
        store({NetworkAddress(QStringLiteral("a.test"), 443, true, 2),
               NetworkAddress(QStringLiteral("x.test"), 50000, true, 1)});
        AddressPool pool;
        QCOMPARE(pool.current().host(), QStringLiteral("a.test"));
        QCOMPARE(pool.current().failures(), 2);
        const NetworkAddress next = pool.next();
        QCOMPARE(next.host(), QStringLiteral("x.test"));
        QCOMPARE(next.port(), quint16(50000));
        QCOMPARE(next.failures(), 1);
    }

    void brokenStoredEntriesAreSkipped()
    {
        QSettings settings;
        settings.beginWriteArray(QStringLiteral("addresses"));
        settings.setArrayIndex(0);
        settings.setValue(QStringLiteral("host"), QString());
        settings.setValue(QStringLiteral("port"), 443);
        settings.setArrayIndex(1);
        settings.setValue(QStringLiteral("host"), QStringLiteral("y.test"));
        settings.setValue(QStringLiteral("port"), QStringLiteral("not a port"));
        settings.endArray();
        settings.sync();
        AddressPool pool;
        QCOMPARE(pool.addresses().size(), 3);
        QCOMPARE(pool.current().host(), QStringLiteral("a.test"));
    }

    void setAddressesKeepsTheDefault()
    {
        AddressPool pool;
        pool.current();
        pool.setAddresses({NetworkAddress(QStringLiteral("n1.test"), 443, true, 0),
                           NetworkAddress(QStringLiteral("n1.test"), 443, false, 0),
                           NetworkAddress(QStringLiteral("n2.test"), 1080, true, 0)});
        QCOMPARE(pool.next().host(), QStringLiteral("n1.test"));
        QCOMPARE(pool.next().host(), QStringLiteral("n2.test"));
        QCOMPARE(pool.next().host(), QStringLiteral("a.test"));
    }

    void failuresCountOnTheCurrentAddress()
    {
        AddressPool pool;
        pool.current();
        pool.markFailure();
        pool.markFailure();
        QCOMPARE(pool.current().failures(), 2);
        pool.markSuccess();
        QCOMPARE(pool.current().failures(), 0);
    }

private:
    QTemporaryDir home;
};

QTEST_GUILESS_MAIN(TestAddressPool)
#include "tst_addresspool.moc"
