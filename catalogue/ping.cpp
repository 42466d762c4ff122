#include "ping.h"

#include "pinghost.h"

#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QThreadPool>
#include <QWaitCondition>
#include <QtConcurrent>

class PingPrivate : public QObject
{
    Q_OBJECT

public:
    explicit PingPrivate(LogManager *logManager)
        : logManager(logManager)
    {
        // Echoes wait on the network, not on the processor: a batch runs at once
        // however few cores the machine has.
        pool.setMaxThreadCount(Ping::BatchSize);
    }

    LogManager *logManager;
    bool stopped = false;
    QMutex mutex;
    QStringList queue;
    QWaitCondition queued;
    QThreadPool pool;

signals:
    void pingCompleted(const QString &host, int msecs);
    void finished();

public slots:
    void stop()
    {
        QMutexLocker locker(&mutex);
        stopped = true;
        queued.wakeOne();
    }

    void process()
    {
        for (;;) {
            QStringList batch;
            {
                QMutexLocker locker(&mutex);
                while (queue.isEmpty() && !stopped)
                    queued.wait(&mutex);
                if (stopped)
                    break;
                while (!queue.isEmpty() && batch.size() < Ping::BatchSize)
                    batch.append(queue.takeFirst());
            }
            QtConcurrent::blockingMap(&pool, batch, PingWrapper{this});
            // The last batch's threads count as busy until they are back in the pool;
            // starting the next batch before that runs part of it a second later.
            pool.waitForDone();
        }
        emit finished();
    }

    void pingAsync(const QString &host)
    {
        emit pingCompleted(host, WinUtils::pingHost(host, logManager));
    }

private:
    // Applied to every host of a batch on the shared pool.
    struct PingWrapper
    {
        PingPrivate *d;
        void operator()(const QString &host) const { d->pingAsync(host); }
    };
};

Ping::Ping(LogManager *logManager, QObject *parent)
    : QObject(parent)
    , d(new PingPrivate(logManager))
    , thread(new QThread(this))
{
    d->moveToThread(thread);
    connect(thread, &QThread::started, d, &PingPrivate::process);
    // Direct: the destructor blocks this thread's event loop while it waits.
    connect(d, &PingPrivate::finished, thread, &QThread::quit, Qt::DirectConnection);
    connect(d, &PingPrivate::pingCompleted, this, &Ping::pingCompleted);
    thread->setObjectName(QStringLiteral("Ping"));
    thread->start(QThread::InheritPriority);
}

Ping::~Ping()
{
    d->stop();
    // The batch in progress ends within about a second; its results go nowhere.
    disconnect(d, &PingPrivate::pingCompleted, this, &Ping::pingCompleted);
    thread->wait();
    delete d;
}

void Ping::ping(const QString &host)
{
    QMutexLocker locker(&d->mutex);
    if (d->queue.contains(host))
        return;
    d->queue.append(host);
    d->queued.wakeOne();
}

#include "ping.moc"
