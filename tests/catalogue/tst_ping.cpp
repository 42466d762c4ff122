#include "cataloguefixture.h"
#include "ping.h"
#include "resolverstub.h"
#include "testhome.h"
#include "testlink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

// A host the stub resolver keeps busy for ms milliseconds before it fails.
QString slowHost(int ms, const QString &tag)
{
    return QStringLiteral("%1-%2.slow.test").arg(ms).arg(tag);
}

} // namespace

// The Ping engine: its queue, its batches of five and its shutdown.
class TestPing : public QObject
{
    Q_OBJECT

public:
    explicit TestPing(const TestHome &) { }

private slots:
    void init()
    {
        // "QThread: Destroyed while thread is still running" and the like.
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        ResolverStub::reset();
    }

    void queuedHostPingedOnce_data()
    {
        QTest::addColumn<bool>("afterResult");
        QTest::addColumn<int>("results");
        QTest::newRow("queued twice") << false << 1;
        QTest::newRow("queued again after its result") << true << 2;
    }

    void queuedHostPingedOnce()
    {
        QFETCH(bool, afterResult);
        QFETCH(int, results);
        if (const QString why = CatalogueFixture::noEchoReason(); !why.isEmpty())
            QSKIP(qPrintable(why));
        Ping ping(nullptr);
        QSignalSpy completed(&ping, &Ping::pingCompleted);
        // A full batch in progress: whatever comes now waits in the queue.
        for (int i = 0; i < Ping::BatchSize; ++i)
            ping.ping(slowHost(600, QString::number(i)));
        QTRY_COMPARE(ResolverStub::inFlight(), Ping::BatchSize);

        const QString host = QStringLiteral("127.0.0.1");
        ping.ping(host);
        if (afterResult)
            QTRY_COMPARE(completed.count(), Ping::BatchSize + 1);
        ping.ping(host);
        QTRY_COMPARE(completed.count(), Ping::BatchSize + results);
        QTest::qWait(200);
        int forHost = 0;
        for (const QList<QVariant> &result : std::as_const(completed)) {
            if (result.at(0).toString() == host) {
                ++forHost;
                QVERIFY(result.at(1).toInt() >= 1);
            }
        }
        QCOMPARE(forHost, results);
    }

    void batchesOfFive_data()
    {
        QTest::addColumn<bool>("onLink");
        QTest::newRow("names that resolve slowly") << false;
        QTest::newRow("silent addresses on a veth link") << true;
    }

    void batchesOfFive()
    {
        QFETCH(bool, onLink);
        TestLink link;
        if (onLink) {
            const QString why = link.create();
            if (!why.isEmpty())
                QSKIP(qPrintable(why));
        }
        QStringList hosts;
        for (int i = 0; i < 6; ++i)
            hosts.append(onLink ? link.silentAddress(i) : slowHost(1000, QString::number(i)));

        Ping ping(nullptr);
        QElapsedTimer clock;
        QList<qint64> arrivals;
        QStringList order;
        connect(&ping, &Ping::pingCompleted, this, [&](const QString &host, int msecs) {
            arrivals.append(clock.elapsed());
            order.append(host);
            QCOMPARE(msecs, -1);
        });
        // The six are queued while a probe keeps the worker busy, so that they wait in
        // the queue together whatever the thread timing, as a round of pings does.
        const QString probe = slowHost(300, QStringLiteral("probe"));
        ping.ping(probe);
        QTRY_COMPARE(ResolverStub::inFlight(), 1);
        for (const QString &host : std::as_const(hosts))
            ping.ping(host);
        QTRY_COMPARE(order.size(), 1);
        QCOMPARE(order.at(0), probe);
        clock.start();
        arrivals.clear();
        order.clear();

        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 6, 6000);
        const QString times = QStringLiteral("arrivals in ms: ") + [&arrivals] {
            QStringList list;
            for (qint64 t : std::as_const(arrivals))
                list.append(QString::number(t));
            return list.join(QLatin1Char(' '));
        }();
        // The first five in one batch, the sixth in a batch of its own after them.
        QVERIFY2(arrivals.at(0) >= 900 && arrivals.at(4) < 2000, qPrintable(times));
        QVERIFY2(arrivals.at(4) - arrivals.at(0) < 500, qPrintable(times));
        QVERIFY2(arrivals.at(5) - arrivals.at(4) >= 900, qPrintable(times));
        QCOMPARE(order.at(5), hosts.at(5));
        QVERIFY(std::is_permutation(order.cbegin(), order.cbegin() + 5, hosts.cbegin()));
    }

    void destroyedDuringBatch()
    {
        auto ping = std::make_unique<Ping>(nullptr);
        int delivered = 0;
        connect(ping.get(), &Ping::pingCompleted, this, [&delivered] { ++delivered; });
        for (int i = 0; i < Ping::BatchSize + 3; ++i)
            ping->ping(slowHost(700, QString::number(i)));
        QTRY_COMPARE(ResolverStub::inFlight(), Ping::BatchSize);

        QElapsedTimer clock;
        clock.start();
        ping.reset();
        // The batch in progress ends by itself; the hosts behind it are dropped.
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(1000);
        QCOMPARE(delivered, 0);
        QCOMPARE(ResolverStub::lookups(slowHost(700, QString::number(Ping::BatchSize))), 0);
    }
};

NOXEL_APP_TEST_MAIN(TestPing)
#include "tst_ping.moc"
