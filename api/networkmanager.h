#pragma once

#include "clientfacts.h"
#include "networkaddress.h"

#include <QList>
#include <QObject>

class LogManager;
class NetworkManagerPrivate;
class QThread;
class Request;

// Carries requests to the provider's API, one at a time, over pinned TLS
// connections to the API addresses in turn. The network work runs on a thread
// of its own; callers only enqueue and cancel.
class NetworkManager : public QObject
{
    Q_OBJECT

public:
    explicit NetworkManager(LogManager *logManager, QObject *parent = nullptr);
    ~NetworkManager() override;

    // The request stays the caller's, who deletes it once answered; what is still
    // there when the transport is destroyed, the transport deletes (answers that came
    // after their senders stopped listening).
    void addRequest(Request *request);
    // True when the request had not gone out yet (queued, or taken but waiting for
    // its connection or for another try): it never will, and stays the caller's. A
    // request already sent is deleted by the transport when its answer comes, and
    // is not reported.
    bool cancelRequest(Request *request);
    void setAddresses(const QList<NetworkAddress> &addresses);
    // Goes into the header of every request sent from now on; any thread.
    void setClientFacts(const ClientFacts &facts);
    // The VPN server in use, empty when none: statistics of that server waiting in
    // the queue are marked broken when the API becomes unreachable. Any thread.
    void setActiveServerUid(const QString &uid);

    qint64 totalBytesRead() const;
    qint64 totalBytesWritten() const;
    int messageCount() const;

signals:
    // The provider refused the login; emitted once until a login succeeds again.
    void authFailed();
    // The API keeps failing, so the VPN connection in use is judged broken.
    void unreachable();
    void bytesRead(qlonglong bytes);
    void bytesWritten(qlonglong bytes);

private:
    NetworkManagerPrivate *d;
    QThread *thread;
};
