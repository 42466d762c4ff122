#include "ilogmanagerfilter.h"
#include "logmanager.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {

// Masks what identifies the subscriber, as the program's own filter does.
class MaskingFilter : public ILogManagerFilter
{
public:
    QString filter(const QString &line) override
    {
        return QString(line)
            .replace(QLatin1String("vpn.example.net"), QLatin1String("%HOST%"))
            .replace(QLatin1String("alice"), QLatin1String("%USERNAME%"));
    }
};

const char *signalOf(LogManager::Level level)
{
    switch (level) {
    case LogManager::GenericLevel:
        return SIGNAL(genericData(QByteArray));
    case LogManager::OpenVpnLevel:
        return SIGNAL(openVpnData(QByteArray));
    case LogManager::RasLevel:
        return SIGNAL(rasVpnData(QByteArray));
    }
    return nullptr;
}

const QString emptyLogs = QStringLiteral("Generic\r\n\r\nOpenVPN\r\n\r\nRAS\r\n");

} // namespace

class TestLogManager : public QObject
{
    Q_OBJECT

private slots:
    void emptyLogs();
    void dataFromWorkerThread_data();
    void dataFromWorkerThread();
    void dataWithTimestamp();
    void lines_data();
    void lines();
    void linesFromWorkerKeepOrder();
    void dataBlocksAreNotFiltered();
    void dataIsCappedPerLevel();
    void resetStartsNewAttempt();
    void slotsMayReadTheLog();
};

void TestLogManager::emptyLogs()
{
    LogManager log(nullptr, nullptr);
    QCOMPARE(log.attachableLogs(), ::emptyLogs);
    QCOMPARE(log.latest(Vpn::OpenVpnUdp), ::emptyLogs);
    QVERIFY(log.data(LogManager::GenericLevel).isEmpty());
}

void TestLogManager::dataFromWorkerThread_data()
{
    QTest::addColumn<LogManager::Level>("level");
    QTest::newRow("generic") << LogManager::GenericLevel;
    QTest::newRow("openvpn") << LogManager::OpenVpnLevel;
    QTest::newRow("ras") << LogManager::RasLevel;
}

void TestLogManager::dataFromWorkerThread()
{
    QFETCH(LogManager::Level, level);
    LogManager log(nullptr, nullptr);

    // What a listener sees when the block is announced: the thread it runs on and
    // whether the log already holds the block, so a handler can read it back.
    QThread *announcedOn = nullptr;
    QByteArray storedWhenAnnounced;
    auto record = [&](const QByteArray &) {
        announcedOn = QThread::currentThread();
        storedWhenAnnounced = log.data(level);
    };
    switch (level) {
    case LogManager::GenericLevel:
        connect(&log, &LogManager::genericData, this, record);
        break;
    case LogManager::OpenVpnLevel:
        connect(&log, &LogManager::openVpnData, this, record);
        break;
    case LogManager::RasLevel:
        connect(&log, &LogManager::rasVpnData, this, record);
        break;
    }
    QSignalSpy spy(&log, signalOf(level));

    const QByteArray block = "worker block\r\n";
    std::unique_ptr<QThread> worker(QThread::create([&log, level, block] { log.addData(level, block); }));
    worker->start();
    QVERIFY(worker->wait(5000));
    // Nothing is stored or announced until the owner's event loop runs.
    QCOMPARE(spy.count(), 0);
    QVERIFY(log.data(level).isEmpty());

    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toByteArray(), block);
    QCOMPARE(announcedOn, QThread::currentThread());
    QCOMPARE(storedWhenAnnounced, block);
    QCOMPARE(log.data(level), block);
    for (LogManager::Level other :
        { LogManager::GenericLevel, LogManager::OpenVpnLevel, LogManager::RasLevel }) {
        if (other != level)
            QVERIFY(log.data(other).isEmpty());
    }
}

void TestLogManager::dataWithTimestamp()
{
    LogManager log(nullptr, nullptr);
    QSignalSpy spy(&log, &LogManager::genericData);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    log.addDataWithTimestamp(LogManager::GenericLevel, "Connecting");
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    QVERIFY(spy.wait(2000));

    const QString stored = QString::fromUtf8(log.data(LogManager::GenericLevel));
    const QRegularExpression shape(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) -> Connecting\r\n$"));
    const QRegularExpressionMatch match = shape.match(stored);
    QVERIFY2(match.hasMatch(), qPrintable(stored));
    const QDateTime stamp = QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY(stamp >= before);
    QVERIFY(stamp <= after);
}

void TestLogManager::lines_data()
{
    QTest::addColumn<bool>("filtered");
    QTest::addColumn<bool>("stamped");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");

    const QString line = QStringLiteral("alice connects to vpn.example.net:1194 as alice");
    QTest::newRow("no filter") << false << false << line << line;
    QTest::newRow("masked") << true << false << line
                            << QStringLiteral("%USERNAME% connects to %HOST%:1194 as %USERNAME%");
    QTest::newRow("nothing to mask") << true << false << QStringLiteral("TLS handshake done")
                                     << QStringLiteral("TLS handshake done");
    QTest::newRow("stamped, no filter") << false << true << line << line;
    QTest::newRow("stamped, masked") << true << true << line
                                     << QStringLiteral("%USERNAME% connects to %HOST%:1194 as %USERNAME%");
}

void TestLogManager::lines()
{
    QFETCH(bool, filtered);
    QFETCH(bool, stamped);
    QFETCH(QString, line);
    QFETCH(QString, expected);

    MaskingFilter filter;
    LogManager log(filtered ? &filter : nullptr, nullptr);
    QSignalSpy spy(&log, &LogManager::lineAdded);
    const QDateTime time(QDate(2024, 3, 9), QTime(14, 5, 7));
    if (stamped)
        log.addLine(time, line);
    else
        log.addLine(line);
    QCOMPARE(spy.count(), 0);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.count(), 1);
    const QString announced = spy.at(0).at(0).toString();
    if (stamped)
        QCOMPARE(announced, time.toString(Qt::TextDate) + QLatin1Char(' ') + expected);
    else
        QCOMPARE(announced, expected);
    // Lines are announced, never stored with the data blocks.
    QCOMPARE(log.attachableLogs(), ::emptyLogs);
}

void TestLogManager::linesFromWorkerKeepOrder()
{
    LogManager log(nullptr, nullptr);
    QStringList announced;
    connect(&log, &LogManager::lineAdded, this, [&](const QString &line) { announced << line; });

    QStringList sent;
    for (int i = 0; i < 500; ++i)
        sent << QStringLiteral("line %1").arg(i);
    std::unique_ptr<QThread> worker(QThread::create([&log, sent] {
        for (const QString &line : sent)
            log.addLine(line);
    }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(announced.size(), sent.size(), 2000);
    QCOMPARE(announced, sent);
}

void TestLogManager::dataBlocksAreNotFiltered()
{
    MaskingFilter filter;
    LogManager log(&filter, nullptr);
    QSignalSpy spy(&log, &LogManager::openVpnData);
    const QByteArray block = "AUTH alice@vpn.example.net\r\n";
    log.addData(LogManager::OpenVpnLevel, block);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.at(0).at(0).toByteArray(), block);
    QCOMPARE(log.data(LogManager::OpenVpnLevel), block);
    QVERIFY(log.attachableLogs().contains(QLatin1String("alice@vpn.example.net")));
}

void TestLogManager::dataIsCappedPerLevel()
{
    LogManager log(nullptr, nullptr);
    QSignalSpy spy(&log, &LogManager::openVpnData);

    // Eleven blocks of one MiB, each of its own letter, so a misplaced cut shows.
    constexpr int mebibyte = 1024 * 1024;
    QByteArray all;
    for (char letter = 'a'; letter < 'a' + 11; ++letter) {
        const QByteArray block(mebibyte, letter);
        all += block;
        log.addData(LogManager::OpenVpnLevel, block);
    }
    log.addData(LogManager::GenericLevel, "generic");
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 11, 5000);

    const QByteArray kept = log.data(LogManager::OpenVpnLevel);
    QCOMPARE(kept.size(), 10485760);
    QCOMPARE(LogManager::MaximumDataSize, 10485760);
    QVERIFY(kept == all.right(10485760));
    QTRY_COMPARE(log.data(LogManager::GenericLevel), QByteArray("generic"));

    // The current attempt keeps everything.
    const QString latest = log.latest(Vpn::OpenVpnTcp);
    const QString expected = QLatin1String("Generic\r\ngeneric\r\nOpenVPN\r\n") + QString::fromLatin1(all)
        + QLatin1String("\r\nRAS\r\n");
    QCOMPARE(latest.size(), expected.size());
    QVERIFY(latest == expected);
}

void TestLogManager::resetStartsNewAttempt()
{
    LogManager log(nullptr, nullptr);
    QSignalSpy spy(&log, &LogManager::rasVpnData);
    log.addData(LogManager::GenericLevel, "old generic");
    log.addData(LogManager::OpenVpnLevel, "old openvpn");
    log.addData(LogManager::RasLevel, "old ras");
    log.reset();
    log.addData(LogManager::RasLevel, "new ras");
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 2000);

    QCOMPARE(log.latest(Vpn::Pptp), QStringLiteral("Generic\r\n\r\nOpenVPN\r\n\r\nRAS\r\nnew ras"));
    QCOMPARE(log.latest(Vpn::OpenVpnUdp), log.latest(Vpn::Pptp));
    QCOMPARE(log.attachableLogs(),
        QStringLiteral("Generic\r\nold generic\r\nOpenVPN\r\nold openvpn\r\nRAS\r\nold rasnew ras"));
    QCOMPARE(log.data(LogManager::RasLevel), QByteArray("old rasnew ras"));
}

void TestLogManager::slotsMayReadTheLog()
{
    // A handler reading the log from inside the announcement must not wait on the
    // log's own lock; a deadlock here hangs until the test's time limit.
    LogManager log(nullptr, nullptr);
    int reads = 0;
    auto readBack = [&] {
        log.data(LogManager::GenericLevel);
        log.attachableLogs();
        log.latest(Vpn::L2tp);
        ++reads;
    };
    connect(&log, &LogManager::genericData, this, readBack, Qt::DirectConnection);
    connect(&log, &LogManager::openVpnData, this, readBack, Qt::DirectConnection);
    connect(&log, &LogManager::rasVpnData, this, readBack, Qt::DirectConnection);
    connect(&log, &LogManager::lineAdded, this, readBack, Qt::DirectConnection);

    log.addData(LogManager::GenericLevel, "g");
    log.addData(LogManager::OpenVpnLevel, "o");
    log.addData(LogManager::RasLevel, "r");
    log.addLine(QStringLiteral("line"));
    QTRY_COMPARE_WITH_TIMEOUT(reads, 4, 2000);
}

QTEST_GUILESS_MAIN(TestLogManager)
#include "tst_logmanager.moc"
