#include "configuration.h"
#include "core.h"
#include "logmanager.h"
#include "loginrequest.h"
#include "mirrow.h"
#include "networkmanager.h"
#include "providersimulator.h"
#include "variablesrequest.h"

#include <QPointer>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Collects what a request reports, on the test's own thread.
struct Outcome
{
    bool finished = false;
    bool failed = false;
    bool authenticated = false;
};

template<typename R>
std::unique_ptr<R> watched(QObject *context, Outcome *outcome)
{
    auto request = std::make_unique<R>();
    R *raw = request.get();
    QObject::connect(raw, &Request::requestFinished, context, [raw, outcome] {
        outcome->finished = true;
        outcome->failed = raw->isFailed();
        outcome->authenticated = raw->isAuthenticated();
    });
    return request;
}

QString genericLog(Core *core)
{
    return QString::fromUtf8(core->logManager()->data(LogManager::GenericLevel));
}

// A loopback port on which nothing listens.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

} // namespace

class TestNetworkManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
        QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    }

    void init() { QSettings().clear(); }

    void twoRequestsShareOneConnection()
    {
        ProviderSimulator simulator;
        QVERIFY(simulator.start(ProviderSimulator::demoData()));
        auto core = makeCore(simulator.address());
        Outcome first, second;
        auto a = watched<VariablesRequest>(this, &first);
        auto b = watched<VariablesRequest>(this, &second);
        core->networkManager()->addRequest(a.get());
        core->networkManager()->addRequest(b.get());
        QTRY_VERIFY(first.finished && second.finished);
        QVERIFY(!first.failed && !second.failed);
        QVERIFY(a->prefs().contains(QStringLiteral("min_ping")));

        // Both went over connection 1, which then was closed with a goodbye.
        QTRY_VERIFY(simulator.connectionLog().contains(QStringLiteral("goodbye connection=1")));
        const QStringList log = simulator.connectionLog();
        QCOMPARE(log.filter(QStringLiteral("-variables.xml")).size(), 2);
        QCOMPARE(log.filter(QStringLiteral("connection=1")).size(), 4);
        QCOMPARE(core->networkManager()->messageCount(), 2);
        QVERIFY(core->networkManager()->totalBytesRead() > 0);
        QVERIFY(core->networkManager()->totalBytesWritten() > 0);
    }

    void requestAddedWhileConnecting()
    {
        ProviderSimulator simulator;
        QVERIFY(simulator.start(ProviderSimulator::demoData()));
        simulator.setFault(QStringLiteral("handshake-delay:600"));
        auto core = makeCore(simulator.address());
        Outcome first, second;
        auto a = watched<VariablesRequest>(this, &first);
        auto b = watched<VariablesRequest>(this, &second);
        core->networkManager()->addRequest(a.get());
        QTest::qWait(200);
        simulator.setFault(QString());
        core->networkManager()->addRequest(b.get());
        QTRY_VERIFY(first.finished && second.finished);
        QCOMPARE(simulator.connectionLog().filter(QStringLiteral("-variables.xml")).filter(QStringLiteral("connection=1")).size(), 2);
    }

    void cancelQueuedAndInFlight()
    {
        ProviderSimulator simulator;
        QVERIFY(simulator.start(ProviderSimulator::demoData()));
        simulator.setFault(QStringLiteral("delay:700"));
        auto core = makeCore(simulator.address());
        Outcome first, second, third;
        auto inFlight = watched<VariablesRequest>(this, &first);
        auto queued = watched<VariablesRequest>(this, &second);
        auto last = watched<VariablesRequest>(this, &third);
        NetworkManager *network = core->networkManager();
        network->addRequest(inFlight.get());
        network->addRequest(queued.get());
        network->addRequest(last.get());
        QTRY_COMPARE(simulator.envelopes().size(), 1);

        QVERIFY(network->cancelRequest(queued.get()));
        QVERIFY(!network->cancelRequest(inFlight.get()));
        QPointer<VariablesRequest> watcher(inFlight.release());
        // The transport deletes the cancelled request when its answer comes.
        QTRY_VERIFY(watcher.isNull());
        QTRY_VERIFY(third.finished);
        QVERIFY(!first.finished);
        QVERIFY(!second.finished);
        QCOMPARE(simulator.envelopes().size(), 2);
    }

    void answerEncodings_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("compressed") << QString();
        QTest::newRow("plain") << QStringLiteral("plain");
        QTest::newRow("length line without digits first") << QStringLiteral("nodigits");
    }

    void answerEncodings()
    {
        QFETCH(QString, fault);
        ProviderSimulator simulator;
        QVERIFY(simulator.start(ProviderSimulator::demoData()));
        simulator.setFault(fault);
        auto core = makeCore(simulator.address());
        core->configuration()->setCredentials(QStringLiteral("demo"), QStringLiteral("demo-password"));
        Outcome outcome;
        auto login = watched<LoginRequest>(this, &outcome);
        core->networkManager()->addRequest(login.get());
        QTRY_VERIFY(outcome.finished);
        QVERIFY(!outcome.failed);
        QVERIFY(outcome.authenticated);
        QCOMPARE(login->userStatus().vpnAccount().username(), QStringLiteral("vpn-demo"));
        QCOMPARE(login->geoIp().address(), QStringLiteral("198.51.100.23"));
    }

    void corruptedAnswers_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("warned");
        QTest::newRow("four zero bytes") << QStringLiteral("zero4") << false;
        QTest::newRow("three bytes") << QStringLiteral("three") << true;
        QTest::newRow("not XML") << QStringLiteral("garbage") << false;
        QTest::newRow("frame too large") << QStringLiteral("oversize") << false;
        // Just over the client's 64 MiB: refused at once rather than waited for.
        QTest::newRow("frame one byte over the cap") << QStringLiteral("oversize:67108865") << false;
    }

    void corruptedAnswers()
    {
        QFETCH(QString, fault);
        QFETCH(bool, warned);
        ProviderSimulator simulator;
        QVERIFY(simulator.start(ProviderSimulator::demoData()));
        simulator.setFault(fault);
        auto core = makeCore(simulator.address());
        Outcome first, second;
        auto a = watched<VariablesRequest>(this, &first);
        core->networkManager()->addRequest(a.get());
        QTRY_VERIFY(first.finished);
        QVERIFY(first.failed);
        QVERIFY(a->prefs().isEmpty());
        QTRY_COMPARE(genericLog(core.get()).contains(QStringLiteral("Incomming data is corrupted")), warned);

        // The transport goes on with the next request by itself.
        simulator.setFault(QString());
        auto b = watched<VariablesRequest>(this, &second);
        core->networkManager()->addRequest(b.get());
        QTRY_VERIFY(second.finished);
        QVERIFY(!second.failed);
    }

    void queuedRequestFollowsCorruptedAnswer_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("four zero bytes") << QStringLiteral("zero4");
        // The connection is dropped with the answer.
        QTest::newRow("frame one byte over the cap") << QStringLiteral("oversize:67108865");
    }

    void queuedRequestFollowsCorruptedAnswer()
    {
        QFETCH(QString, fault);
        ProviderSimulator simulator;
        QVERIFY(simulator.start(ProviderSimulator::demoData()));
        simulator.setFault(fault);
        auto core = makeCore(simulator.address());
        Outcome first, second;
        auto a = watched<VariablesRequest>(this, &first);
        auto b = watched<VariablesRequest>(this, &second);
        core->networkManager()->addRequest(a.get());
        core->networkManager()->addRequest(b.get());
        QTRY_VERIFY(first.finished);
        simulator.setFault(QString());
        QTRY_VERIFY(second.finished);
    }

    void droppedMidFrameIsRetried()
    {
        ProviderSimulator simulator;
        QVERIFY(simulator.start(ProviderSimulator::demoData()));
        simulator.setFault(QStringLiteral("drop"));
        auto core = makeCore(simulator.address());
        Outcome outcome;
        auto request = watched<VariablesRequest>(this, &outcome);
        core->networkManager()->addRequest(request.get());
        QTRY_COMPARE(simulator.envelopes().size(), 1);
        simulator.setFault(QString());
        QTRY_VERIFY_WITH_TIMEOUT(outcome.finished, 15000);
        QVERIFY(!outcome.failed);
        QVERIFY(request->prefs().contains(QStringLiteral("min_ping")));
        QCOMPARE(simulator.envelopes().size(), 2);
    }

    void authFailedRaisedOnce()
    {
        ProviderSimulator simulator;
        QVERIFY(simulator.start(ProviderSimulator::demoData()));
        auto core = makeCore(simulator.address());
        // The session would ask the user to log in again; this test watches the transport only.
        core->setBusy(true);
        QSignalSpy authFailed(core->networkManager(), &NetworkManager::authFailed);

        bool authenticated = false;
        QString error;
        const auto login = [this, &core, &authenticated, &error](const QString &password) {
            Outcome outcome;
            auto request = watched<LoginRequest>(this, &outcome);
            request->setCredentials(QStringLiteral("demo"), password);
            core->networkManager()->addRequest(request.get());
            QTRY_VERIFY(outcome.finished);
            QVERIFY(!outcome.failed);
            authenticated = outcome.authenticated;
            error = request->errorString();
        };
        login(QStringLiteral("wrong"));
        QVERIFY(!authenticated);
        QCOMPARE(error, QStringLiteral("Wrong user name or password"));
        login(QStringLiteral("wrong again"));
        QTRY_COMPARE(authFailed.size(), 1);
        QTest::qWait(100);
        QCOMPARE(authFailed.size(), 1);

        login(QStringLiteral("demo-password"));
        QVERIFY(authenticated);
        login(QStringLiteral("wrong"));
        QTRY_COMPARE(authFailed.size(), 2);
    }

    void wrongCertificateRefused()
    {
        ProviderSimulator simulator;
        QVERIFY(simulator.start(ProviderSimulator::demoData(), QStringLiteral("wrong-cert")));
        auto core = makeCore(simulator.address());
        Outcome outcome;
        auto request = watched<VariablesRequest>(this, &outcome);
        core->networkManager()->addRequest(request.get());
        QTRY_VERIFY(genericLog(core.get()).contains(QStringLiteral("API connection to tls://") + simulator.address()));
        QTest::qWait(300);
        QVERIFY(!outcome.finished);
        QVERIFY(simulator.envelopes().isEmpty());
        QVERIFY(core->networkManager()->cancelRequest(request.get()));
    }

    // Read from the log in the order things happened, so that however late this
    // thread looks, the rotation and the moment the API counts as unreachable show.
    void rotationAfterFailures()
    {
        const QStringList addresses { QStringLiteral("127.0.0.1:") + QString::number(closedPort()),
            QStringLiteral("127.0.0.2:") + QString::number(closedPort()),
            QStringLiteral("127.0.0.3:") + QString::number(closedPort()) };
        auto core = makeCore(addresses.join(QLatin1Char(',')));
        Outcome outcome;
        auto request = watched<VariablesRequest>(this, &outcome);
        core->networkManager()->addRequest(request.get());

        const QString unreachable = QStringLiteral("unreachable");
        const auto events = [&core, &unreachable] {
            QStringList lines = genericLog(core.get()).split(QStringLiteral("\r\n"));
            lines.removeIf([&unreachable](const QString &line) {
                return !line.contains(QLatin1String("API connection to")) && !line.contains(unreachable);
            });
            return lines;
        };
        // Tries are five seconds apart.
        QTRY_VERIFY_WITH_TIMEOUT(genericLog(core.get()).contains(unreachable), 60000);
        QVERIFY(!outcome.finished);
        // Never sent, so still the caller's, whatever the transport is doing with it.
        QVERIFY(core->networkManager()->cancelRequest(request.get()));

        const QStringList seen = events();
        const QString log = seen.join(QLatin1Char('\n'));
        QVERIFY2(seen.size() >= 5, qPrintable(log));
        for (int i = 0; i < 4; ++i)
            QVERIFY2(seen.at(i).contains(addresses.at(i % 3)), qPrintable(log));
        // Unreachable from the fourth failure in a row on, not before.
        QVERIFY2(seen.at(4).contains(unreachable), qPrintable(log));

        // The address in use leads the stored list. The try that was under way when the
        // request was withdrawn may still end, so wait for the list to match the log.
        const auto leadMatchesLog = [&] {
            QStringList failed = events();
            failed.removeIf([&unreachable](const QString &line) { return line.contains(unreachable); });
            qsizetype last = -1;
            for (qsizetype i = 0; i < addresses.size(); ++i) {
                if (failed.last().contains(addresses.at(i)))
                    last = i;
            }
            const QString next = addresses.at((last + 1) % addresses.size());
            return QSettings().value(QStringLiteral("addresses/1/host")).toString()
                == next.section(QLatin1Char(':'), 0, 0);
        };
        QTRY_VERIFY_WITH_TIMEOUT(leadMatchesLog(), 20000);
        QVERIFY(!outcome.finished);
    }

    // A request taken from the queue whose connection is still being made has not gone
    // out: withdrawing it must succeed, and it must never go out.
    void cancelWhileConnecting()
    {
        ProviderSimulator simulator;
        QVERIFY(simulator.start(ProviderSimulator::demoData()));
        // Holds the client's connection until the test lets it through to the simulator.
        QTcpServer gate;
        QVERIFY(gate.listen(QHostAddress::LocalHost));
        auto core = makeCore(QStringLiteral("127.0.0.1:") + QString::number(gate.serverPort()));
        Outcome outcome;
        auto request = watched<VariablesRequest>(this, &outcome);
        core->networkManager()->addRequest(request.get());
        // The transport connects only for a request it has taken from its queue.
        QTRY_VERIFY_WITH_TIMEOUT(gate.hasPendingConnections(), 30000);
        std::unique_ptr<QTcpSocket> client(gate.nextPendingConnection());

        if (!core->networkManager()->cancelRequest(request.get())) {
            // Then the transport holds it and deletes it when an answer comes.
            request.release();
            QFAIL("a request waiting for its connection could not be withdrawn");
        }
        request.reset();

        QTcpSocket upstream;
        upstream.connectToHost(QHostAddress::LocalHost, simulator.port());
        QVERIFY(upstream.waitForConnected(10000));
        connect(client.get(), &QTcpSocket::readyRead, &upstream, [&] { upstream.write(client->readAll()); });
        connect(&upstream, &QTcpSocket::readyRead, client.get(), [&] { client->write(upstream.readAll()); });
        upstream.write(client->readAll());
        // With nothing to send, the transport says goodbye on the connection it made.
        QTRY_VERIFY_WITH_TIMEOUT(
            simulator.connectionLog().contains(QStringLiteral("goodbye connection=1")), 30000);
        QVERIFY(simulator.envelopes().isEmpty());
        QVERIFY(!outcome.finished);
    }

private:
    std::unique_ptr<Core> makeCore(const QString &addresses)
    {
        qputenv(Mirrow::AddressesVariable, addresses.toUtf8());
        return std::make_unique<Core>();
    }

    QTemporaryDir home;
};

QTEST_MAIN(TestNetworkManager)
#include "tst_networkmanager.moc"
