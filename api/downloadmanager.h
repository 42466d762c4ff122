#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>

class Download;
class QNetworkAccessManager;
class QNetworkReply;

// Fetches web resources for the account views, five at a time, with three
// retries two seconds apart. Certificates are verified like everywhere else.
class DownloadManager : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaximumActive = 5;
    static constexpr int MaximumRetries = 3;
    static constexpr int RetryDelayMs = 2000;

    DownloadManager();
    ~DownloadManager() override;

    // The caller keeps the record to recognise it in downloadFinished().
    Download *download(const QString &url);
    // A cancelled download never finishes; the manager deletes its record.
    void cancel(Download *download);
    int activeCount() const;

signals:
    // Done, or given up with empty data. The receiver owns and deletes the record.
    void downloadFinished(Download *download);

private slots:
    void nextDownload();
    void requestFinished(QNetworkReply *reply);

private:
    QNetworkAccessManager *network;
    mutable QMutex mutex;
    QList<Download *> queue;
    QHash<QNetworkReply *, Download *> active;
    QList<Download *> cancelled;
};
