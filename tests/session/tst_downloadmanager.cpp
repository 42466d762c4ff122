#include "download.h"
#include "downloadmanager.h"
#include "testhome.h"
#include "warningwatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QPointer>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A small HTTP/1.1 server on loopback, one request per connection. By path:
// /hold/... is answered only when released, /holdfail/... likewise but with a
// 500; /ok/... at once; /status/N with that status and an error page; /close
// closes the connection without an answer. Answers to success carry
// "payload of <path>".
class HttpServer : public QTcpServer
{
public:
    struct Received
    {
        QByteArray path;
        qint64 msecs; // since the server started
    };

    bool start()
    {
        clock.start();
        return listen(QHostAddress::LocalHost);
    }

    QString url(const QString &path, const QString &scheme = u"http"_s) const
    {
        return scheme + u"://127.0.0.1:"_s + QString::number(serverPort()) + path;
    }

    // Answers held requests, oldest first; all of them when count is -1.
    void release(int count = -1)
    {
        while (!held.isEmpty() && count != 0) {
            const Held next = held.takeFirst();
            if (next.socket) {
                if (next.path.startsWith("/holdfail/"))
                    answer(next.socket, 500, "held and failed");
                else
                    answer(next.socket, 200, "payload of " + next.path);
            }
            --count;
        }
    }

    int waiting() const { return int(held.size()); }

    QList<Received> received;
    int connections = 0;
    int openConnections = 0;
    int mostOpenConnections = 0;
    int mostWaiting = 0;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        ++connections;
        mostOpenConnections = std::max(mostOpenConnections, ++openConnections);
        QTcpSocket *socket = createSocket(descriptor);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this] { --openConnections; });
    }

    virtual QTcpSocket *createSocket(qintptr descriptor)
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        return socket;
    }

private:
    struct Held
    {
        QPointer<QTcpSocket> socket;
        QByteArray path;
    };

    void readRequest(QTcpSocket *socket)
    {
        QByteArray &buffer = buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        buffers.remove(socket);
        const QByteArray path = requestLine.value(1);
        received.append({ path, clock.elapsed() });
        if (path.startsWith("/hold")) {
            held.append({ socket, path });
            mostWaiting = std::max(mostWaiting, waiting());
        } else if (path.startsWith("/ok/")) {
            answer(socket, 200, "payload of " + path);
        } else if (path.startsWith("/status/")) {
            answer(socket, path.mid(8).toInt(), "error page");
        } else {
            socket->abort();
            socket->deleteLater();
        }
    }

    static void answer(QTcpSocket *socket, int status, const QByteArray &body)
    {
        socket->write("HTTP/1.1 " + QByteArray::number(status)
            + " Status\r\nContent-Type: text/plain\r\n"
              "Content-Length: "
            + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QElapsedTimer clock;
    QHash<QTcpSocket *, QByteArray> buffers;
    QList<Held> held;
};

// The same over TLS, with the demo provider's self-signed certificate.
class HttpsServer : public HttpServer
{
public:
    bool loadCertificate()
    {
        QFile certificateFile(QStringLiteral(NOXEL_PROVIDER_SIM_DIR "/certs/demo-server.crt"));
        QFile keyFile(QStringLiteral(NOXEL_PROVIDER_SIM_DIR "/certs/demo-server.key"));
        if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
            return false;
        certificate = QSslCertificate(certificateFile.readAll(), QSsl::Pem);
        key = QSslKey(keyFile.readAll(), QSsl::Rsa, QSsl::Pem);
        return !certificate.isNull() && !key.isNull();
    }

    int handshakes = 0; // completed ones

protected:
    QTcpSocket *createSocket(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        socket->setLocalCertificate(certificate);
        socket->setPrivateKey(key);
        connect(socket, &QSslSocket::encrypted, this, [this] { ++handshakes; });
        socket->startServerEncryption();
        return socket;
    }

private:
    QSslCertificate certificate;
    QSslKey key;
};

// A loopback port on which nothing listens.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

} // namespace

class TestDownloadManager : public QObject
{
    Q_OBJECT

public:
    explicit TestDownloadManager(const TestHome &home)
        : home(home)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fiveAtATime();
    void failureRetriedThenReported_data();
    void failureRetriedThenReported();
    void cancelRunning_data();
    void cancelRunning();
    void cancelQueued();
    void destroyedWhileRunning();
    void untrustedCertificate();

private:
    const TestHome &home;
    std::unique_ptr<DownloadManager> manager;
    // The records finished so far, by address; the test owns them.
    QList<Download *> finished;
};

void TestDownloadManager::initTestCase()
{
    QVERIFY(home.isValid());
    WarningWatch::install();
}

void TestDownloadManager::init()
{
    WarningWatch::take();
    manager = std::make_unique<DownloadManager>();
    connect(manager.get(), &DownloadManager::downloadFinished, this,
        [this](Download *download) { finished.append(download); });
}

void TestDownloadManager::cleanup()
{
    manager.reset();
    qDeleteAll(finished);
    finished.clear();
    QTest::qWait(50);
    const QStringList warnings = WarningWatch::take();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

void TestDownloadManager::fiveAtATime()
{
    HttpServer server;
    QVERIFY(server.start());
    QList<Download *> downloads;
    for (int i = 1; i <= 6; ++i)
        downloads.append(manager->download(server.url(u"/hold/"_s + QString::number(i))));

    QTRY_COMPARE(server.waiting(), DownloadManager::MaximumActive);
    QTest::qWait(500);
    QCOMPARE(server.received.size(), 5);
    QCOMPARE(server.waiting(), 5);
    QCOMPARE(server.openConnections, 5);
    QCOMPARE(manager->activeCount(), 5);
    QVERIFY(finished.isEmpty());

    // One done: the sixth starts.
    server.release(1);
    QTRY_COMPARE(finished.size(), 1);
    QTRY_COMPARE(server.received.size(), 6);
    QCOMPARE(server.received.last().path, QByteArray("/hold/6"));
    QCOMPARE(server.waiting(), 5);
    QCOMPARE(finished.first(), downloads.first());
    QCOMPARE(finished.first()->data(), QByteArray("payload of /hold/1"));

    server.release();
    QTRY_COMPARE(finished.size(), 6);
    QCOMPARE(server.mostWaiting, 5);
    QCOMPARE(server.mostOpenConnections, 5);
    for (Download *download : std::as_const(downloads)) {
        QVERIFY(finished.contains(download));
        QCOMPARE(download->data(), QByteArray("payload of " + download->url().path().toUtf8()));
        QCOMPARE(download->retries(), 0);
    }
    QCOMPARE(manager->activeCount(), 0);
    QCOMPARE(server.received.size(), 6);
}

void TestDownloadManager::failureRetriedThenReported_data()
{
    QTest::addColumn<QString>("path"); // empty: a port nobody listens on
    QTest::addColumn<int>("requests"); // that reach the server; -1 when not counted

    QTest::newRow("server error 500") << u"/status/500"_s << 4;
    QTest::newRow("not found 404") << u"/status/404"_s << 4;
    QTest::newRow("connection closed without an answer") << u"/close"_s << -1;
    QTest::newRow("connection refused") << QString() << -1;
}

void TestDownloadManager::failureRetriedThenReported()
{
    QFETCH(QString, path);
    QFETCH(int, requests);

    HttpServer server;
    QVERIFY(server.start());
    const QString url = path.isEmpty() ? u"http://127.0.0.1:"_s + QString::number(closedPort()) + u"/file"_s
                                       : server.url(path);
    QElapsedTimer clock;
    clock.start();
    Download *download = manager->download(url);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 15000);
    const qint64 elapsed = clock.elapsed();

    QCOMPARE(finished.first(), download);
    QVERIFY(download->data().isEmpty());
    QCOMPARE(download->retries(), DownloadManager::MaximumRetries);
    // Three pauses of two seconds (coarse timers may fire 5 % early).
    QVERIFY2(
        elapsed >= 3 * DownloadManager::RetryDelayMs * 95 / 100, QByteArray::number(elapsed).constData());
    if (requests >= 0) {
        QCOMPARE(server.received.size(), requests);
        for (int i = 1; i < server.received.size(); ++i) {
            const qint64 gap = server.received.at(i).msecs - server.received.at(i - 1).msecs;
            QVERIFY2(
                gap >= DownloadManager::RetryDelayMs * 95 / 100 && gap < 2 * DownloadManager::RetryDelayMs,
                QByteArray::number(gap).constData());
        }
    }
    QCOMPARE(manager->activeCount(), 0);
    QTest::qWait(2500);
    QCOMPARE(finished.size(), 1);
}

void TestDownloadManager::cancelRunning_data()
{
    QTest::addColumn<QString>("path");

    QTest::newRow("answered after the cancel") << u"/hold/a"_s;
    QTest::newRow("failing after the cancel") << u"/holdfail/a"_s;
}

void TestDownloadManager::cancelRunning()
{
    QFETCH(QString, path);

    HttpServer server;
    QVERIFY(server.start());
    Download *download = manager->download(server.url(path));
    QTRY_COMPARE(server.waiting(), 1);
    manager->cancel(download);
    server.release();
    QTRY_COMPARE(manager->activeCount(), 0);
    // Neither finished nor tried again.
    QTest::qWait(DownloadManager::RetryDelayMs + 500);
    QVERIFY(finished.isEmpty());
    QCOMPARE(server.received.size(), 1);

    // The slot is free again.
    Download *next = manager->download(server.url(u"/ok/next"_s));
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.first(), next);
    QCOMPARE(next->data(), QByteArray("payload of /ok/next"));
}

void TestDownloadManager::cancelQueued()
{
    HttpServer server;
    QVERIFY(server.start());
    for (int i = 1; i <= 5; ++i)
        manager->download(server.url(u"/hold/"_s + QString::number(i)));
    Download *queued = manager->download(server.url(u"/ok/queued"_s));
    Download *last = manager->download(server.url(u"/ok/last"_s));
    QTRY_COMPARE(server.waiting(), 5);
    manager->cancel(queued);
    server.release();
    QTRY_COMPARE(finished.size(), 6);
    QVERIFY(finished.contains(last));
    QTest::qWait(300);
    QCOMPARE(finished.size(), 6);
    for (const HttpServer::Received &request : std::as_const(server.received))
        QVERIFY(request.path != "/ok/queued");
}

void TestDownloadManager::destroyedWhileRunning()
{
    HttpServer server;
    QVERIFY(server.start());
    for (int i = 1; i <= 5; ++i)
        manager->download(server.url(u"/hold/"_s + QString::number(i)));
    manager->download(server.url(u"/ok/queued"_s));
    QTRY_COMPARE(server.waiting(), 5);
    // Running and queued downloads go with the manager, without a word.
    manager.reset();
    server.release();
    QTest::qWait(300);
    QVERIFY(finished.isEmpty());
    QCOMPARE(server.received.size(), 5);
}

void TestDownloadManager::untrustedCertificate()
{
    HttpsServer server;
    QVERIFY(server.loadCertificate());
    QVERIFY(server.start());
    QElapsedTimer clock;
    clock.start();
    Download *download = manager->download(server.url(u"/ok/secret"_s, u"https"_s));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 15000);
    QCOMPARE(finished.first(), download);
    QVERIFY(download->data().isEmpty());
    QCOMPARE(download->retries(), DownloadManager::MaximumRetries);
    QVERIFY(clock.elapsed() >= 3 * DownloadManager::RetryDelayMs * 95 / 100);
    // Each try reached the server, and none got past the handshake.
    QCOMPARE(server.connections, DownloadManager::MaximumRetries + 1);
    QCOMPARE(server.handshakes, 0);
    QVERIFY(server.received.isEmpty());
}

NOXEL_APP_TEST_MAIN(TestDownloadManager)
#include "tst_downloadmanager.moc"
