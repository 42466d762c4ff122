// SingleApplication between real processes: a stand-in program (singleapp_probe)
// around it plays the first and the later instances.

#include "childprocess.h"
#include "fixedport.h"
#include "loopbackclient.h"
#include "sandbox.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <memory>

namespace {

const QString Probe = QStringLiteral(NOXEL_PROBE);
const QString Key = QStringLiteral("NoxelTest");

qint64 monotonicNow()
{
    QElapsedTimer now;
    now.start();
    return now.msecsSinceReference();
}

// What a first instance received, in order.
QByteArrayList messages(const ChildProcess &probe)
{
    QByteArrayList decoded;
    const QByteArrayList values = probe.values("message");
    for (const QByteArray &hex : values)
        decoded << QByteArray::fromHex(hex);
    return decoded;
}

std::unique_ptr<ChildProcess> startProbe(const Sandbox &sandbox, const QStringList &arguments = {})
{
    auto probe = std::make_unique<ChildProcess>(sandbox.environment());
    probe->start(Probe, QStringList { Key } + arguments);
    return probe;
}

// Sends a message on a connection of its own and waits for the first instance to
// report it.
bool deliver(ChildProcess &first, const QByteArray &message)
{
    LoopbackClient client;
    if (!client.connectToInstance() || !client.send(message))
        return false;
    client.close();
    return first.waitForLine("message " + message.toHex(), 3000);
}

} // namespace

class TestSingleApplication : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firstStartListensOnLoopbackOnly();
    void secondStartHandsMessageOver_data();
    void secondStartHandsMessageOver();
    void connectionsOfRawClients_data();
    void connectionsOfRawClients();
    void nextStartAfterFirstEndedIsFirst_data();
    void nextStartAfterFirstEndedIsFirst();
};

void TestSingleApplication::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(QFileInfo(Probe).isExecutable(), qPrintable(Probe));
}

void TestSingleApplication::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QProcess: Destroyed while process")));
    NOXEL_WAIT_FOR_FIXED_PORT(LoopbackClient::Port);
}

void TestSingleApplication::firstStartListensOnLoopbackOnly()
{
    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    const auto first = startProbe(sandbox);
    QVERIFY(first->waitForLine("first", 5000));

    QVERIFY(deliver(*first, "hello"));
    // Bound to 127.0.0.1 alone: the rest of loopback is still free, and so is the
    // network, where nobody may talk to the program.
    QTcpServer neighbour;
    QVERIFY2(neighbour.listen(QHostAddress(QStringLiteral("127.0.0.2")), LoopbackClient::Port),
        qPrintable(neighbour.errorString()));
    neighbour.close();

    QVERIFY(deliver(*first, "quit"));
    QVERIFY(first->waitForFinished(5000));
    QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    QCOMPARE(first->exitCode(), 0);
    QCOMPARE(messages(*first), QByteArrayList({ "hello", "quit" }));
}

void TestSingleApplication::secondStartHandsMessageOver_data()
{
    QTest::addColumn<QString>("message");

    QTest::newRow("plain") << QStringLiteral("PING");
    QTest::newRow("spaces and non-ASCII")
        << QStringLiteral("/home/jürgen/Mes VPN/Zürich – 東京 \U0001F680.ovpn");
    // More than one read's worth, so that the message arrives in several pieces.
    QTest::newRow("100 KiB") << QString(100 * 1024, QLatin1Char('x'));
}

void TestSingleApplication::secondStartHandsMessageOver()
{
    QFETCH(QString, message);

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    const auto first = startProbe(sandbox);
    QVERIFY(first->waitForLine("first", 5000));

    const auto second = startProbe(sandbox, { message });
    // Only a guard against a hang: a loaded machine may be slow.
    QVERIFY(second->waitForFinished(60000));
    QCOMPARE(second->lines(), QByteArrayList({ "second", "sent true" }));
    QCOMPARE(second->exitCode(), 0);

    QVERIFY(first->waitForLine("message " + message.toUtf8().toHex(), 3000));
    QVERIFY(deliver(*first, "quit"));
    QVERIFY(first->waitForFinished(5000));
    QCOMPARE(messages(*first), QByteArrayList({ message.toUtf8(), "quit" }));
}

void TestSingleApplication::connectionsOfRawClients_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("keepOpen");
    QTest::addColumn<QByteArrayList>("expected");

    QTest::newRow("silent, closed") << QByteArrayList() << false << QByteArrayList();
    QTest::newRow("message, closed") << QByteArrayList { "closed" } << false << QByteArrayList { "closed" };
    // The pieces split the two bytes of "ü": the message is one text, decoded whole.
    QTest::newRow("message in pieces, closed")
        << QByteArrayList { "Z\xc3", "\xbcrich", " 2" } << false << QByteArrayList { "Z\xc3\xbcrich 2" };
    QTest::newRow("silent, kept open") << QByteArrayList() << true << QByteArrayList();
    QTest::newRow("message, kept open")
        << QByteArrayList { "kept open" } << true << QByteArrayList { "kept open" };
}

void TestSingleApplication::connectionsOfRawClients()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, keepOpen);
    QFETCH(QByteArrayList, expected);

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    const auto first = startProbe(sandbox);
    QVERIFY(first->waitForLine("first", 5000));

    LoopbackClient client;
    QVERIFY(client.connectToInstance());
    const qint64 connectedAt = monotonicNow();
    for (int i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            QTest::qWait(150);
        QVERIFY(client.send(pieces.at(i)));
    }

    if (keepOpen) {
        // The instance gives up on the connection after five seconds, and keeps
        // serving its window meanwhile.
        QVERIFY(client.waitForDrop(9000));
        const qint64 heldMs = client.droppedAt() - connectedAt;
        QVERIFY2(heldMs >= 4500 && heldMs <= 7000, qPrintable(QString::number(heldMs)));

        QList<qint64> times { connectedAt };
        const QByteArrayList ticks = first->values("tick");
        for (const QByteArray &tick : ticks) {
            const qint64 time = tick.toLongLong();
            if (time > connectedAt && time < client.droppedAt())
                times << time;
        }
        times << client.droppedAt();
        for (int i = 1; i < times.size(); ++i) {
            const qint64 gap = times.at(i) - times.at(i - 1);
            QVERIFY2(gap < 1000, qPrintable(QStringLiteral("no tick for %1 ms").arg(gap)));
        }
    } else {
        client.close();
    }

    // Whatever this connection gave arrives before a later message does.
    QVERIFY(deliver(*first, "marker"));
    QByteArrayList received = messages(*first);
    received.removeOne("marker");
    QCOMPARE(received, expected);

    QVERIFY(deliver(*first, "quit"));
    QVERIFY(first->waitForFinished(5000));
}

void TestSingleApplication::nextStartAfterFirstEndedIsFirst_data()
{
    QTest::addColumn<bool>("crash");

    QTest::newRow("normal exit") << false;
    // SIGKILL leaves the guard behind with the dead process's id in it.
    QTest::newRow("killed") << true;
}

void TestSingleApplication::nextStartAfterFirstEndedIsFirst()
{
    QFETCH(bool, crash);

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    const auto ended = startProbe(sandbox);
    QVERIFY(ended->waitForLine("first", 5000));
    if (crash) {
        ended->kill();
        QCOMPARE(ended->exitStatus(), QProcess::CrashExit);
    } else {
        QVERIFY(deliver(*ended, "quit"));
        QVERIFY(ended->waitForFinished(5000));
        QCOMPARE(ended->exitCode(), 0);
    }

    const auto next = startProbe(sandbox);
    QVERIFY(next->waitForLine("first", 5000));

    // ...and it is a working first instance, found by the start after it.
    const auto later = startProbe(sandbox, { QStringLiteral("later") });
    QVERIFY(later->waitForFinished(10000));
    QCOMPARE(later->lines(), QByteArrayList({ "second", "sent true" }));
    QVERIFY(next->waitForLine("message " + QByteArray("later").toHex(), 3000));

    QVERIFY(deliver(*next, "quit"));
    QVERIFY(next->waitForFinished(5000));
    QCOMPARE(next->exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestSingleApplication)
#include "tst_singleapplication.moc"
