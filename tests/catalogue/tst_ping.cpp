#include "cataloguefixture.h"
#include "ping.h"
#include "resolverstub.h"
#include "testhome.h"
#include "testlink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <thread>

namespace {

// A host whose lookup waits for ResolverStub::release(); a dotted address as the tag
// is what it then resolves to.
QString heldHost(const QString &tag)
{
    return QString(tag).replace(QLatin1Char('.'), QLatin1Char('-')) + QStringLiteral(".held.test");
}

// How long a ping waits for its echo (WinUtils::pingHost's default).
constexpr int EchoWaitMs = 1000;

// Lets every held lookup go on, so that a test that fails half way does not leave
// the engine waiting for its batch for ever.
struct ReleaseOnExit
{
    ~ReleaseOnExit() { ResolverStub::release(); }
};

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
        const ReleaseOnExit releaseBeforePingEnds;
        QSignalSpy completed(&ping, &Ping::pingCompleted);
        // A full batch held in progress: whatever comes now waits in the queue.
        for (int i = 0; i < Ping::BatchSize; ++i)
            ping.ping(heldHost(QString::number(i)));
        QTRY_COMPARE_WITH_TIMEOUT(ResolverStub::inFlight(), Ping::BatchSize, 30000);

        const QString host = QStringLiteral("127.0.0.1");
        ping.ping(host);
        if (afterResult) {
            ResolverStub::release();
            QTRY_COMPARE_WITH_TIMEOUT(completed.count(), Ping::BatchSize + 1, 30000);
        }
        ping.ping(host);
        ResolverStub::release();
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), Ping::BatchSize + results, 30000);
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
        QTest::newRow("names that do not resolve") << false;
        QTest::newRow("silent addresses on a veth link") << true;
    }

    // Who ran with whom is read from the lookups the stub holds, not from when the
    // results reached this thread, which a busy machine delays at will.
    void batchesOfFive()
    {
        QFETCH(bool, onLink);
        TestLink link;
        if (onLink) {
            const QString why = link.create();
            if (!why.isEmpty())
                QSKIP(qPrintable(why));
        }
        // On the link each name then resolves to an address nobody holds, so that
        // the ping goes on to wait out its echo.
        QStringList hosts;
        for (int i = 0; i < 6; ++i)
            hosts.append(heldHost(onLink ? link.silentAddress(i) : QString::number(i)));

        Ping ping(nullptr);
        const ReleaseOnExit releaseBeforePingEnds;
        QStringList order;
        QElapsedTimer clock;
        QList<qint64> arrivals;
        connect(&ping, &Ping::pingCompleted, this, [&](const QString &host, int msecs) {
            order.append(host);
            arrivals.append(clock.isValid() ? clock.elapsed() : -1);
            QCOMPARE(msecs, -1);
        });
        // The six are queued while a probe keeps the worker busy, so that they wait in
        // the queue together whatever the thread timing, as a round of pings does.
        const QString probe = heldHost(QStringLiteral("probe"));
        ping.ping(probe);
        QTRY_COMPARE_WITH_TIMEOUT(ResolverStub::inFlight(), 1, 30000);
        for (const QString &host : std::as_const(hosts))
            ping.ping(host);
        ResolverStub::release(probe);

        // The first five at once, and the sixth not while any of them is out, not even
        // once a thread is free: time given to a sixth to show up can only hide a
        // fault here, never make one.
        QTRY_COMPARE_WITH_TIMEOUT(ResolverStub::inFlight(), Ping::BatchSize, 30000);
        QTest::qWait(300);
        QCOMPARE(ResolverStub::inFlight(), Ping::BatchSize);
        for (int i = 0; i < Ping::BatchSize; ++i)
            QCOMPARE(ResolverStub::lookups(hosts.at(i)), 1);
        QCOMPARE(ResolverStub::lookups(hosts.at(5)), 0);
        for (int i = 0; i < Ping::BatchSize - 1; ++i)
            ResolverStub::release(hosts.at(i));
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), Ping::BatchSize, 30000);
        QTest::qWait(300);
        QCOMPARE(ResolverStub::lookups(hosts.at(5)), 0);

        clock.start();
        ResolverStub::release();
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 7, 30000);
        QCOMPARE(order.at(0), probe);
        QVERIFY(std::is_permutation(order.cbegin() + 1, order.cbegin() + 5, hosts.cbegin()));
        QCOMPARE(order.mid(5), hosts.mid(4));
        const QStringList log = ResolverStub::events();
        QVERIFY2(log.indexOf(QLatin1Char('-') + hosts.at(4)) < log.indexOf(QLatin1Char('+') + hosts.at(5)),
            qPrintable(log.join(QLatin1Char(' '))));
        if (onLink) {
            // Each silent ping waits out its echo, and the sixth's wait follows the
            // fifth's: lower bounds, which a slow machine only makes easier to meet.
            const QString times = QStringLiteral("the last two arrived %1 and %2 ms after the release")
                                      .arg(arrivals.at(5))
                                      .arg(arrivals.at(6));
            QVERIFY2(arrivals.at(5) >= EchoWaitMs, qPrintable(times));
            QVERIFY2(arrivals.at(6) >= 2 * EchoWaitMs, qPrintable(times));
        }
    }

    void destroyedDuringBatch()
    {
        auto ping = std::make_unique<Ping>(nullptr);
        const ReleaseOnExit releaseBeforePingEnds;
        int delivered = 0;
        connect(ping.get(), &Ping::pingCompleted, this, [&delivered] { ++delivered; });
        for (int i = 0; i < Ping::BatchSize + 3; ++i)
            ping->ping(heldHost(QString::number(i)));
        QTRY_COMPARE_WITH_TIMEOUT(ResolverStub::inFlight(), Ping::BatchSize, 30000);

        // The destructor waits for the batch, so another thread lets it go, once this
        // one is well inside the destructor: only a stall of seconds between the two
        // next lines could let the batch end first.
        std::thread releaser([] {
            QThread::msleep(2000);
            ResolverStub::release();
        });
        ping.reset();
        releaser.join();
        // The batch in progress has ended by the time the engine is gone; the hosts
        // behind it are dropped.
        QCOMPARE(ResolverStub::inFlight(), 0);
        QTest::qWait(1000);
        QCOMPARE(delivered, 0);
        for (int i = Ping::BatchSize; i < Ping::BatchSize + 3; ++i)
            QCOMPARE(ResolverStub::lookups(heldHost(QString::number(i))), 0);
    }
};

NOXEL_APP_TEST_MAIN(TestPing)
#include "tst_ping.moc"
