#include "networkmanager.h"

#include "addresspool.h"
#include "connectionstat.h"
#include "envelope.h"
#include "framecodec.h"
#include "logmanager.h"
#include "request.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QPointer>
#include <QReadWriteLock>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>

#include <deque>

namespace {

// Every connection must present a certificate for this name, signed by the pinned one.
const QString PeerName = QStringLiteral("server");
const QString PinnedCertificate = QStringLiteral(":/ssl/server.crt");

constexpr int RetryAfterDisconnectMs = 1000;
constexpr int GoodbyeTimeoutMs = 5000;
constexpr int RetryAfterErrorMs = 5000;
// From this many consecutive errors on, the API counts as unreachable.
constexpr int UnreachableAfterErrors = 3;

int nowMsecs32()
{
    return int(quint32(QDateTime::currentMSecsSinceEpoch()));
}

} // namespace

class NetworkManagerPrivate : public QObject
{
    Q_OBJECT

public:
    explicit NetworkManagerPrivate(LogManager *logManager);
    ~NetworkManagerPrivate() override;

    LogManager *logManager;
    bool scheduled = false;
    bool authFailed = false;
    int errorCount = 0;

    mutable QReadWriteLock countersLock;
    qint64 messageCounter = 0;
    qint64 bytesWrittenTotal = 0;
    qint64 bytesReadTotal = 0;

    NetworkAddress currentAddress;
    std::unique_ptr<AddressPool> pool;
    QSslSocket *socket = nullptr;
    QList<QSslCertificate> pinned;

    mutable QMutex mutex;
    ClientFacts facts; // guarded by mutex
    QString activeServerUid; // guarded by mutex
    std::deque<Request *> queue;
    Request *current = nullptr;
    QList<Request *> cancelled;
    // Answered requests until they are deleted: by their senders, or by the transport
    // when given up. Those still here when the transport ends were answered after
    // their senders stopped listening, or when no event loop ran to delete them.
    QList<QPointer<Request>> answered; // guarded by mutex

    FrameCodec codec;

    void handBack(Request *request);

public slots:
    void scheduleNextRequest(int msecs);
    void scheduleNextRequest();
    void handleRequestAdded();
    void handleNextRequest();
    void socketConnect();
    void socketClose();
    void socketConnected();
    void socketDisconnected();
    void socketError(QAbstractSocket::SocketError error);
    void socketRead();
    void socketBytesRead(qlonglong bytes);
    void socketBytesWritten(qlonglong bytes);
    void setAddresses(const QList<NetworkAddress> &addresses);

signals:
    void authFailedChanged();
    void unreachable();
    void bytesRead(qlonglong bytes);
    void bytesWritten(qlonglong bytes);

private:
    // Forgets the socket; a graceful drop lets what was written go out first.
    void dropSocket(bool graceful = false);
    void sendCurrent();
    void processFrame(const FrameCodec::Frame &frame);
    void finishCorrupted(Request *request, bool warn);
    void markUnreachable();
    Envelope::Header header() const;
};

NetworkManagerPrivate::NetworkManagerPrivate(LogManager *logManager)
    : logManager(logManager)
    , pool(std::make_unique<AddressPool>())
{
    QFile file(PinnedCertificate);
    if (file.open(QIODevice::ReadOnly))
        pinned = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
}

NetworkManagerPrivate::~NetworkManagerPrivate()
{
    delete socket;
}

void NetworkManagerPrivate::scheduleNextRequest(int msecs)
{
    if (scheduled)
        return;
    scheduled = true;
    QTimer::singleShot(msecs, this, &NetworkManagerPrivate::handleNextRequest);
}

void NetworkManagerPrivate::scheduleNextRequest()
{
    scheduleNextRequest(0);
}

void NetworkManagerPrivate::handleRequestAdded()
{
    bool idle;
    {
        QMutexLocker locker(&mutex);
        idle = !current;
    }
    if (idle && !scheduled)
        scheduleNextRequest(0);
}

void NetworkManagerPrivate::handleNextRequest()
{
    scheduled = false;
    NetworkAddress wanted;
    {
        // A request not sent yet may be withdrawn at any moment: read it under the lock.
        QMutexLocker locker(&mutex);
        if (!current && !queue.empty()) {
            current = queue.front();
            queue.pop_front();
        }
        if (!current) {
            locker.unlock();
            QTimer::singleShot(0, this, &NetworkManagerPrivate::socketClose);
            return;
        }
        wanted = current->address();
    }

    currentAddress = pool->current();
    if (!wanted.isNull())
        currentAddress = wanted;

    if (!socket) {
        QTimer::singleShot(0, this, &NetworkManagerPrivate::socketConnect);
        return;
    }
    if (socket->peerName() == currentAddress.host() && socket->peerPort() == currentAddress.port()) {
        if (socket->state() == QAbstractSocket::ConnectedState && socket->isEncrypted())
            sendCurrent();
        return;
    }
    QTimer::singleShot(0, this, &NetworkManagerPrivate::socketClose);
}

void NetworkManagerPrivate::sendCurrent()
{
    const Envelope::Header facts = header();
    QByteArray frame;
    {
        // cancelRequest() either withdraws the request before it goes out or finds it sent.
        QMutexLocker locker(&mutex);
        if (!current || current->isSent())
            return;
        qint64 id;
        {
            QWriteLocker counters(&countersLock);
            id = ++messageCounter;
        }
        frame = FrameCodec::encode(Envelope::encode(*current, id, facts));
        current->setSentAt(nowMsecs32());
        current->setSent(true);
    }
    socket->write(frame);
    socket->flush();
}

Envelope::Header NetworkManagerPrivate::header() const
{
    ClientFacts client;
    {
        QMutexLocker locker(&mutex);
        client = facts;
    }
    Envelope::Header header;
    header.language = client.language;
    header.country = client.country;
    header.utcOffsetMinutes = QDateTime::currentDateTime().offsetFromUtc() / 60;
    header.version = QCoreApplication::applicationVersion();
    header.devicePixelRatio = client.devicePixelRatio;
    header.debug = client.debug;
    header.osName = client.osName;
    header.cpu = client.cpu;
    header.storedCredentials = client.storedCredentials;
    return header;
}

void NetworkManagerPrivate::socketConnect()
{
    if (socket)
        return;
    codec.reset();
    socket = new QSslSocket(this);
    connect(socket, &QSslSocket::encrypted, this, &NetworkManagerPrivate::socketConnected);
    connect(socket, &QSslSocket::disconnected, this, &NetworkManagerPrivate::socketDisconnected);
    connect(socket, &QSslSocket::errorOccurred, this, &NetworkManagerPrivate::socketError);
    connect(socket, &QSslSocket::readyRead, this, &NetworkManagerPrivate::socketRead);
    connect(socket, &QSslSocket::bytesWritten, this, &NetworkManagerPrivate::socketBytesWritten);

    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Only the pinned certificate may vouch for the server; the system's
    // authorities play no part.
    configuration.setCaCertificates(pinned.isEmpty() ? QList<QSslCertificate>() : QList<QSslCertificate>{pinned.first()});
    socket->setSslConfiguration(configuration);
    socket->setPeerVerifyName(PeerName);
    socket->connectToHostEncrypted(currentAddress.host(), currentAddress.port(), QIODevice::ReadWrite,
                                   QAbstractSocket::AnyIPProtocol);
}

void NetworkManagerPrivate::socketConnected()
{
    errorCount = 0;
    pool->markSuccess();
    scheduleNextRequest(0);
}

void NetworkManagerPrivate::dropSocket(bool graceful)
{
    QSslSocket *old = socket;
    socket = nullptr;
    currentAddress.clear();
    // A frame cut short belongs to the connection that is gone.
    codec.reset();
    old->disconnect(this);
    if (!graceful || old->state() != QAbstractSocket::ConnectedState) {
        old->abort();
        old->deleteLater();
        return;
    }
    // Let the goodbye go out before the socket goes; never wait long for it.
    connect(old, &QSslSocket::disconnected, old, &QObject::deleteLater);
    QTimer::singleShot(GoodbyeTimeoutMs, old, &QObject::deleteLater);
    old->disconnectFromHost();
}

void NetworkManagerPrivate::socketClose()
{
    if (socket) {
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
        socket->write("Q");
        socket->flush();
        dropSocket(true);
    }
    bool busy;
    {
        QMutexLocker locker(&mutex);
        busy = current;
    }
    if (busy)
        scheduleNextRequest(RetryAfterDisconnectMs);
}

void NetworkManagerPrivate::socketDisconnected()
{
    if (!socket)
        return;
    dropSocket();
    Request *request;
    {
        QMutexLocker locker(&mutex);
        request = current;
        // A request that went out on the lost connection goes out again.
        if (request)
            request->setSent(false);
    }
    if (request)
        scheduleNextRequest(RetryAfterDisconnectMs);
}

void NetworkManagerPrivate::socketError(QAbstractSocket::SocketError error)
{
    if (!socket)
        return;
    bool busy;
    {
        QMutexLocker locker(&mutex);
        busy = current;
    }
    if (error == QAbstractSocket::RemoteHostClosedError && !busy) {
        // The server closed an idle connection: nothing failed.
        dropSocket();
        return;
    }
    const QString reason = socket->errorString();
    const QString address = currentAddress.description();
    dropSocket();
    logManager->addDataWithTimestamp(LogManager::GenericLevel,
                                             "API connection to " + address.toUtf8() + " failed: " + reason.toUtf8());

    if (errorCount >= UnreachableAfterErrors || error == QAbstractSocket::NetworkError)
        markUnreachable();

    ++errorCount;
    pool->markFailure();
    pool->next();

    bool requeued = false;
    {
        QMutexLocker locker(&mutex);
        if (current) {
            current->setSent(false);
            queue.push_front(current);
            current = nullptr;
            requeued = true;
        }
    }
    if (requeued)
        scheduleNextRequest(RetryAfterErrorMs);
}

void NetworkManagerPrivate::markUnreachable()
{
    logManager->addDataWithTimestamp(
        LogManager::GenericLevel, "The provider's API is unreachable after " + QByteArray::number(errorCount + 1) + " attempts");
    emit unreachable();
    QMutexLocker locker(&mutex);
    if (activeServerUid.isEmpty())
        return;
    for (Request *request : queue) {
        QList<ConnectionStat> stats = request->stats();
        bool changed = false;
        for (ConnectionStat &stat : stats) {
            if (stat.serverUid() != activeServerUid)
                continue;
            stat.setStatus(ConnectionStat::Broken);
            stat.setText(logManager->latest(stat.protocol()));
            changed = true;
        }
        if (changed)
            request->setStats(stats);
    }
}

void NetworkManagerPrivate::socketRead()
{
    if (!socket)
        return;
    const QByteArray bytes = socket->readAll();
    if (bytes.isEmpty())
        return;
    socketBytesRead(bytes.size());
    bool broken = false;
    const QList<FrameCodec::Frame> frames = codec.feed(bytes, &broken);
    for (const FrameCodec::Frame &frame : frames)
        processFrame(frame);
    if (broken) {
        logManager->addDataWithTimestamp(LogManager::GenericLevel,
                                                 "NetworkManager: the server announced an answer too large to accept");
        Request *request;
        {
            QMutexLocker locker(&mutex);
            request = current && current->isSent() ? current : nullptr;
        }
        if (request)
            finishCorrupted(request, false);
        if (socket)
            dropSocket();
        // Nothing else wakes the requests still queued: the connection went without a signal.
        scheduleNextRequest(0);
    }
}

void NetworkManagerPrivate::finishCorrupted(Request *request, bool warn)
{
    if (warn) {
        qWarning("NetworkManager: Incomming data is corrupted");
        logManager->addDataWithTimestamp(LogManager::GenericLevel, "NetworkManager: Incomming data is corrupted");
    }
    bool wasCancelled;
    {
        QMutexLocker locker(&mutex);
        current = nullptr;
        wasCancelled = cancelled.removeOne(request);
        if (wasCancelled)
            answered.append(request);
    }
    if (wasCancelled) {
        request->deleteLater();
        return;
    }
    request->setFailed(true);
    request->setAuthenticated(false);
    handBack(request);
}

void NetworkManagerPrivate::handBack(Request *request)
{
    {
        QMutexLocker locker(&mutex);
        answered.removeAll(nullptr);
        answered.append(request);
    }
    emit request->requestFinished();
}

void NetworkManagerPrivate::processFrame(const FrameCodec::Frame &frame)
{
    Request *request;
    {
        // Only a request that went out can be answered; it can no longer be withdrawn.
        QMutexLocker locker(&mutex);
        request = current && current->isSent() ? current : nullptr;
    }
    if (!request) {
        if (!scheduled)
            scheduleNextRequest(0);
        return;
    }
    if (frame.payload.size() <= 4) {
        finishCorrupted(request, frame.payload != QByteArray(4, '\0'));
        // Requests still queued must not wait for someone to add another.
        scheduleNextRequest(0);
        return;
    }
    QByteArray text;
    if (!FrameCodec::decode(frame, &text)) {
        finishCorrupted(request, true);
        scheduleNextRequest(0);
        return;
    }
    request->setAnsweredAt(nowMsecs32());
    {
        QMutexLocker locker(&mutex);
        current = nullptr;
        if (cancelled.removeOne(request)) {
            answered.append(request);
            request->deleteLater();
            locker.unlock();
            scheduleNextRequest(0);
            return;
        }
    }

    QXmlStreamReader reader(text);
    while (!reader.atEnd() && !reader.isStartElement())
        reader.readNext();
    if (!reader.isStartElement()) {
        // Not XML at all: the answer cannot be trusted, and must not replace good data.
        request->setFailed(true);
        handBack(request);
        scheduleNextRequest(0);
        return;
    }
    if (reader.name() == QLatin1String("authentication-failed")) {
        request->setFailed(false);
        request->setAuthenticated(false);
        const QString error = reader.readElementText();
        if (!error.isEmpty())
            request->setErrorString(error);
        handBack(request);
        bool raise = false;
        {
            QMutexLocker locker(&mutex);
            raise = !authFailed;
            authFailed = true;
        }
        if (raise)
            emit authFailedChanged();
        scheduleNextRequest(0);
        return;
    }
    request->setFailed(false);
    if (request->requiresLogin()) {
        request->setAuthenticated(true);
        QMutexLocker locker(&mutex);
        authFailed = false;
    }
    request->readBody(reader);
    if (reader.hasError()) {
        // A damaged answer reads as a failure rather than as an empty success.
        request->setFailed(true);
        request->setAuthenticated(false);
    }
    handBack(request);
    scheduleNextRequest(0);
}

void NetworkManagerPrivate::socketBytesRead(qlonglong bytes)
{
    {
        QWriteLocker locker(&countersLock);
        bytesReadTotal += bytes;
    }
    emit bytesRead(bytes);
}

void NetworkManagerPrivate::socketBytesWritten(qlonglong bytes)
{
    {
        QWriteLocker locker(&countersLock);
        bytesWrittenTotal += bytes;
    }
    emit bytesWritten(bytes);
}

void NetworkManagerPrivate::setAddresses(const QList<NetworkAddress> &addresses)
{
    if (!addresses.isEmpty())
        pool->setAddresses(addresses);
}

NetworkManager::NetworkManager(LogManager *logManager, QObject *parent)
    : QObject(parent)
    , d(new NetworkManagerPrivate(logManager))
    , thread(new QThread(this))
{
    d->moveToThread(thread);
    connect(d, &NetworkManagerPrivate::authFailedChanged, this, &NetworkManager::authFailed);
    connect(d, &NetworkManagerPrivate::unreachable, this, &NetworkManager::unreachable);
    connect(d, &NetworkManagerPrivate::bytesRead, this, &NetworkManager::bytesRead);
    connect(d, &NetworkManagerPrivate::bytesWritten, this, &NetworkManager::bytesWritten);
    thread->setObjectName(QStringLiteral("NetworkManager"));
    thread->start(QThread::InheritPriority);
}

NetworkManager::~NetworkManager()
{
    // The socket and its timers belong to the network thread: they must end
    // there, once its loop has stopped and can open no other.
    connect(
        thread, &QThread::finished, d,
        [this] {
            d->socket = nullptr;
            // With the sockets still saying goodbye.
            qDeleteAll(d->findChildren<QSslSocket *>(QString(), Qt::FindDirectChildrenOnly));
        },
        Qt::DirectConnection);
    thread->quit();
    thread->wait();
    // Requests their senders gave up while they were out were left to the answer,
    // which will not come now.
    qDeleteAll(std::exchange(d->cancelled, {}));
    for (const QPointer<Request> &request : std::as_const(d->answered))
        delete request.data();
    delete d;
}

void NetworkManager::setClientFacts(const ClientFacts &facts)
{
    QMutexLocker locker(&d->mutex);
    d->facts = facts;
}

void NetworkManager::setActiveServerUid(const QString &uid)
{
    QMutexLocker locker(&d->mutex);
    d->activeServerUid = uid;
}

void NetworkManager::addRequest(Request *request)
{
    {
        QMutexLocker locker(&d->mutex);
        d->queue.push_back(request);
    }
    QMetaObject::invokeMethod(d, &NetworkManagerPrivate::handleRequestAdded, Qt::QueuedConnection);
}

bool NetworkManager::cancelRequest(Request *request)
{
    QMutexLocker locker(&d->mutex);
    const auto it = std::find(d->queue.begin(), d->queue.end(), request);
    if (it != d->queue.end()) {
        d->queue.erase(it);
        d->cancelled.removeOne(request);
        return true;
    }
    if (d->current != request)
        return false;
    // Taken from the queue but not out yet (its connection is being made, or it waits
    // to be tried again): the network thread only sends it under this lock.
    if (!request->isSent()) {
        d->current = nullptr;
        d->cancelled.removeOne(request);
        return true;
    }
    if (!d->cancelled.contains(request))
        d->cancelled.append(request);
    return false;
}

void NetworkManager::setAddresses(const QList<NetworkAddress> &addresses)
{
    QMetaObject::invokeMethod(d, [this, addresses] { d->setAddresses(addresses); }, Qt::QueuedConnection);
}

qint64 NetworkManager::totalBytesRead() const
{
    QReadLocker locker(&d->countersLock);
    return d->bytesReadTotal;
}

qint64 NetworkManager::totalBytesWritten() const
{
    QReadLocker locker(&d->countersLock);
    return d->bytesWrittenTotal;
}

int NetworkManager::messageCount() const
{
    QReadLocker locker(&d->countersLock);
    return int(d->messageCounter);
}

#include "networkmanager.moc"
