#include "cataloguefixture.h"
#include "logmanager.h"
#include "pinghost.h"
#include "resolverstub.h"
#include "testhome.h"
#include "testlink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using CatalogueFixture::noEchoReason;

// One ICMP echo with WinUtils::pingHost: answers on loopback and on a veth link of
// the test's own, silence, and names that do not resolve.
class TestPingHost : public QObject
{
    Q_OBJECT

public:
    explicit TestPingHost(const TestHome &) { }

private slots:
    void init() { ResolverStub::reset(); }

    void loopbackAnswers_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("lookups");
        // A dotted address is used as it is; a name goes to the resolver once.
        QTest::newRow("127.0.0.1") << QStringLiteral("127.0.0.1") << 0;
        QTest::newRow("another loopback address") << QStringLiteral("127.0.0.77") << 0;
        QTest::newRow("name") << QStringLiteral("localhost") << 1;
    }

    void loopbackAnswers()
    {
        QFETCH(QString, host);
        QFETCH(int, lookups);
        if (const QString why = noEchoReason(); !why.isEmpty())
            QSKIP(qPrintable(why));
        LogManager log(nullptr, nullptr);
        const int msecs = WinUtils::pingHost(host, &log);
        QVERIFY2(msecs >= 1 && msecs < 1000, qPrintable(QString::number(msecs)));
        QCOMPARE(ResolverStub::lookups(host), lookups);
    }

    void unresolvedName()
    {
        LogManager log(nullptr, nullptr);
        QSignalSpy lines(&log, &LogManager::lineAdded);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(WinUtils::pingHost(QStringLiteral("nonexistent.invalid"), &log), -1);
        // Nothing was sent, so there is nothing to wait for.
        QVERIFY(clock.elapsed() < 500);
        QCOMPARE(ResolverStub::lookups(QStringLiteral("nonexistent.invalid")), 1);
        QTest::qWait(100);
        QCOMPARE(lines.count(), 0);
    }

    void acrossVethLink()
    {
        TestLink link;
        const QString why = link.create();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));

        LogManager log(nullptr, nullptr);
        QSignalSpy lines(&log, &LogManager::lineAdded);
        const int msecs = WinUtils::pingHost(link.peerAddress(), &log);
        QVERIFY2(msecs >= 1 && msecs < 1000, qPrintable(QString::number(msecs)));
        QTRY_COMPARE(lines.count(), 1);
        QVERIFY(lines.at(0).at(0).toString().contains(link.peerAddress()));

        // Nobody holds this address: the echo goes unanswered until the time-out.
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(WinUtils::pingHost(link.silentAddress(0), &log), -1);
        QVERIFY2(
            clock.elapsed() >= 950 && clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    }
};

NOXEL_APP_TEST_MAIN(TestPingHost)
#include "tst_pinghost.moc"
