#pragma once

#include "connectionstat.h"
#include "networkaddress.h"
#include "trafficstat.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QXmlStreamReader;
class QXmlStreamWriter;
class RequestPrivate;

// One exchange with the provider's API. Its creator sets the inputs, connects
// requestFinished(), hands it to NetworkManager::addRequest and, when the signal
// comes, reads the results and deletes it.
class Request : public QObject
{
    Q_OBJECT

public:
    Request();
    ~Request() override;

    // The API address this request must use; null for any.
    virtual NetworkAddress address() const;
    virtual bool requiresLogin() const;
    // Writes the request's own elements inside "body".
    virtual void writeBody(QXmlStreamWriter &writer) const = 0;
    // Reads the answer; the reader stands on the answer's root element.
    virtual bool readBody(QXmlStreamReader &reader) = 0;

    // Credentials to send instead of the stored ones.
    void setCredentials(const QString &username, const QString &password);
    QString username() const;
    QString password() const;

    void setStats(const QList<ConnectionStat> &stats);
    QList<ConnectionStat> stats() const;
    void setTrafficStats(const QList<TrafficStat> &stats);
    QList<TrafficStat> trafficStats() const;

    bool isSent() const;
    void setSent(bool sent);
    bool isAuthenticated() const;
    void setAuthenticated(bool authenticated);
    // True until an answer was received and read, and again for a corrupted answer.
    bool isFailed() const;
    void setFailed(bool failed);
    QString errorString() const;
    void setErrorString(const QString &errorString);

    // A process-wide creation number, from 1.
    qint64 serial() const;
    // Milliseconds since the epoch, truncated to 32 bits; 0 until then.
    int sentAt() const;
    void setSentAt(int msecs);
    int answeredAt() const;
    void setAnsweredAt(int msecs);

    void writeStats(QXmlStreamWriter &writer) const;

signals:
    void requestFinished();

private:
    std::unique_ptr<RequestPrivate> d;
};
