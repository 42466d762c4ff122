#include "download.h"

Download::Download(const QUrl &url)
    : address(url)
{
}

QUrl Download::url() const { return address; }
QByteArray Download::data() const { return body; }
void Download::setData(const QByteArray &data) { body = data; }
int Download::retries() const { return retryCount; }
void Download::incrementRetries() { ++retryCount; }
