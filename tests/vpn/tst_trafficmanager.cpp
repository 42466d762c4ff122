#include "trafficmanager.h"

#include <QtTest>

#include <limits>
#include <numeric>

// Totals, the 8-second rate window, the 100-second history and the daily rows.
// The one-second tick is the private slot updateRate(), invoked directly so that
// the test counts the ticks.

namespace {

// "uid protocol down up" per row, in the order kept.
QStringList rowTexts(const QList<TrafficStat> &rows)
{
    QStringList texts;
    for (const TrafficStat &row : rows)
        texts << QStringLiteral("%1 %2 %3 %4")
                     .arg(row.serverUid())
                     .arg(int(row.protocol()))
                     .arg(row.down())
                     .arg(row.up());
    return texts;
}

void tick(TrafficManager *manager)
{
    QVERIFY(QMetaObject::invokeMethod(manager, "updateRate", Qt::DirectConnection));
}

} // namespace

class TestTrafficManager : public QObject
{
    Q_OBJECT

private slots:
    void dailyRows_data();
    void dailyRows();
    void takeStatsEmpties();
    void rateWindow_data();
    void rateWindow();
    void history_data();
    void history();
};

void TestTrafficManager::dailyRows_data()
{
    // "uid protocol in out" per report.
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("one report") << QStringList { QStringLiteral("s1 0 100 20") }
                                << QStringList { QStringLiteral("s1 0 100 20") };
    QTest::newRow("reports add up") << QStringList { QStringLiteral("s1 0 100 20"),
        QStringLiteral("s1 0 50 5") }
                                    << QStringList { QStringLiteral("s1 0 150 25") };
    QTest::newRow("two protocols to one server") << QStringList {
        QStringLiteral("s1 0 100 20"), QStringLiteral("s1 1 7 3"), QStringLiteral("s1 0 1 1")
    } << QStringList { QStringLiteral("s1 0 101 21"), QStringLiteral("s1 1 7 3") };
}

void TestTrafficManager::dailyRows()
{
    QFETCH(QStringList, reports);
    QFETCH(QStringList, rows);

    const QDate today = QDateTime::currentDateTimeUtc().date();
    TrafficManager manager;
    qint64 in = 0;
    qint64 out = 0;
    for (const QString &report : std::as_const(reports)) {
        const QStringList fields = report.split(QLatin1Char(' '));
        manager.addByteCount(fields.at(0), Vpn::Protocol(fields.at(1).toInt()), fields.at(2).toLongLong(),
            fields.at(3).toLongLong());
        in += fields.at(2).toLongLong();
        out += fields.at(3).toLongLong();
    }
    const QList<TrafficStat> stats = manager.takeStats();
    if (QDateTime::currentDateTimeUtc().date() != today)
        QSKIP("The day changed during the test.");
    QCOMPARE(rowTexts(stats), rows);
    for (const TrafficStat &stat : stats)
        QCOMPARE(stat.date(), today);
    QCOMPARE(manager.totalIn(), in);
    QCOMPARE(manager.totalOut(), out);
}

void TestTrafficManager::takeStatsEmpties()
{
    TrafficManager manager;
    manager.addByteCount(QStringLiteral("s1"), Vpn::OpenVpnTcp, 10, 20);
    manager.addByteCount(QStringLiteral("s1"), Vpn::OpenVpnUdp, 30, 40);
    QCOMPARE(manager.takeStats().size(), 2);
    QVERIFY(manager.takeStats().isEmpty());
    // The totals are not the rows: they stay.
    QCOMPARE(manager.totalIn(), qint64(40));
    QCOMPARE(manager.totalOut(), qint64(60));

    manager.addByteCount(QStringLiteral("s1"), Vpn::OpenVpnTcp, 1, 2);
    QCOMPARE(rowTexts(manager.takeStats()), QStringList { QStringLiteral("s1 0 1 2") });
}

void TestTrafficManager::rateWindow_data()
{
    // Bytes received before each tick, and the rate after it.
    QTest::addColumn<QList<qint64>>("received");
    QTest::addColumn<QList<qint64>>("rates");

    QTest::newRow("8000 bytes once") << QList<qint64> { 8000, 0, 0, 0, 0, 0, 0, 0, 0,
        0 } << QList<qint64> { 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 0, 0 };
    QTest::newRow("two halves") << QList<qint64> { 4000, 4000, 0, 0, 0, 0, 0, 0, 0, 0 }
                                << QList<qint64> { 500, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 500, 0 };
    QTest::newRow("less than the window") << QList<qint64> { 7, 0 } << QList<qint64> { 0, 0 };
}

void TestTrafficManager::rateWindow()
{
    QFETCH(QList<qint64>, received);
    QFETCH(QList<qint64>, rates);

    TrafficManager manager;
    QSignalSpy changed(&manager, &TrafficManager::rateChanged);
    QList<qint64> in;
    QList<qint64> out;
    for (qint64 bytes : std::as_const(received)) {
        manager.addByteCount(QStringLiteral("s1"), Vpn::OpenVpnTcp, bytes, bytes / 10);
        tick(&manager);
        in << manager.rateIn();
        out << manager.rateOut();
    }
    QCOMPARE(in, rates);
    QList<qint64> outRates;
    // Sent at a tenth of the rate received, rounded per second before averaging.
    QList<qint64> window(TrafficManager::RateWindow, 0);
    for (qint64 bytes : std::as_const(received)) {
        window.prepend(bytes / 10);
        window.removeLast();
        outRates << std::accumulate(window.cbegin(), window.cend(), qint64(0)) / TrafficManager::RateWindow;
    }
    QCOMPARE(out, outRates);
    QCOMPARE(changed.size(), received.size());
}

void TestTrafficManager::history_data()
{
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint32>("sample");

    QTest::newRow("bytes") << qint64(5000) << qint32(5000);
    QTest::newRow("more than a sample holds") << qint64(5000000000LL) << std::numeric_limits<qint32>::max();
    QTest::newRow("negative") << qint64(-20) << qint32(0);
}

void TestTrafficManager::history()
{
    QFETCH(qint64, received);
    QFETCH(qint32, sample);

    TrafficManager manager;
    QList<qint32> in;
    QList<qint32> out;
    manager.history(&in, &out);
    QCOMPARE(in, QList<qint32>(TrafficManager::HistoryLength, 0));
    QCOMPARE(out, QList<qint32>(TrafficManager::HistoryLength, 0));
    QCOMPARE(TrafficManager::HistoryLength, 100);

    manager.addByteCount(QStringLiteral("s1"), Vpn::OpenVpnTcp, received, 3);
    tick(&manager);
    manager.history(&in, &out);
    QCOMPARE(in.size(), 100);
    QCOMPARE(out.size(), 100);
    QCOMPARE(in.last(), sample);
    QCOMPARE(out.last(), qint32(3));
    QCOMPARE(in.mid(0, 99), QList<qint32>(99, 0));

    // Oldest first: the sample moves to the front, then out.
    for (int i = 0; i < 99; ++i)
        tick(&manager);
    manager.history(&in, &out);
    QCOMPARE(in.size(), 100);
    QCOMPARE(in.first(), sample);
    QCOMPARE(out.first(), qint32(3));
    tick(&manager);
    manager.history(&in, &out);
    QCOMPARE(in, QList<qint32>(TrafficManager::HistoryLength, 0));
    QCOMPARE(out, QList<qint32>(TrafficManager::HistoryLength, 0));
}

QTEST_GUILESS_MAIN(TestTrafficManager)

#include "tst_trafficmanager.moc"
