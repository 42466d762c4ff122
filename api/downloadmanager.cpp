#include "downloadmanager.h"

#include "download.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

DownloadManager::DownloadManager()
    : network(new QNetworkAccessManager(this))
{
    connect(network, &QNetworkAccessManager::finished, this, &DownloadManager::requestFinished);
}

DownloadManager::~DownloadManager()
{
    // An aborted reply finishes at once: requestFinished() must not run (and
    // lock the mutex held here) for it.
    network->disconnect(this);
    QMutexLocker locker(&mutex);
    qDeleteAll(queue);
    for (auto it = active.cbegin(); it != active.cend(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
    }
    qDeleteAll(active);
}

Download *DownloadManager::download(const QString &url)
{
    auto *record = new Download(QUrl(url, QUrl::TolerantMode));
    {
        QMutexLocker locker(&mutex);
        queue.append(record);
    }
    QTimer::singleShot(0, this, &DownloadManager::nextDownload);
    return record;
}

void DownloadManager::cancel(Download *download)
{
    QMutexLocker locker(&mutex);
    if (queue.removeOne(download)) {
        delete download;
        return;
    }
    for (auto it = active.cbegin(); it != active.cend(); ++it) {
        if (it.value() == download && !cancelled.contains(download)) {
            cancelled.append(download);
            return;
        }
    }
}

int DownloadManager::activeCount() const
{
    QMutexLocker locker(&mutex);
    return int(active.size());
}

void DownloadManager::nextDownload()
{
    QMutexLocker locker(&mutex);
    if (queue.isEmpty() || active.size() >= MaximumActive)
        return;
    Download *record = queue.takeFirst();
    QNetworkReply *reply = network->get(QNetworkRequest(record->url()));
    active.insert(reply, record);
}

void DownloadManager::requestFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    Download *record = nullptr;
    bool wasCancelled = false;
    {
        QMutexLocker locker(&mutex);
        record = active.take(reply);
        if (!record)
            return;
        wasCancelled = cancelled.contains(record);
        if (reply->error() != QNetworkReply::NoError && record->retries() < MaximumRetries && !wasCancelled) {
            record->incrementRetries();
            queue.append(record);
            locker.unlock();
            QTimer::singleShot(RetryDelayMs, this, &DownloadManager::nextDownload);
            return;
        }
        if (wasCancelled)
            cancelled.removeOne(record);
    }
    if (wasCancelled) {
        delete record;
    } else {
        if (reply->error() == QNetworkReply::NoError)
            record->setData(reply->readAll());
        emit downloadFinished(record);
    }
    QTimer::singleShot(0, this, &DownloadManager::nextDownload);
}
