#pragma once

#include <QByteArray>
#include <QUrl>

// One web resource to fetch; its data is empty until it finished, and after a
// final failure.
class Download
{
public:
    explicit Download(const QUrl &url);

    QUrl url() const;
    QByteArray data() const;
    void setData(const QByteArray &data);
    int retries() const;
    void incrementRetries();

private:
    QUrl address;
    QByteArray body;
    int retryCount = 0;
};
