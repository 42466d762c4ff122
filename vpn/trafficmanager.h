#pragma once

#include "trafficstat.h"
#include "vpn.h"

#include <QList>
#include <QObject>

#include <memory>

class TrafficManagerPrivate;

// Turns the drivers' byte counts into totals, rates over 8 seconds, a 100-second
// history for the graph, and daily rows per server and protocol.
class TrafficManager : public QObject
{
    Q_OBJECT

public:
    static constexpr int RateWindow = 8;
    static constexpr int HistoryLength = 100;

    explicit TrafficManager(QObject *parent = nullptr);
    ~TrafficManager() override;

    // Bytes per second, averaged over the last 8 seconds.
    qint64 rateIn() const;
    qint64 rateOut() const;
    qint64 totalIn() const;
    qint64 totalOut() const;
    // The last 100 one-second samples, oldest first.
    void history(QList<qint32> *in, QList<qint32> *out) const;

    // The daily rows not yet handed on; the list is emptied.
    QList<TrafficStat> takeStats();
    void addStats(const QList<TrafficStat> &stats);

public slots:
    // Bytes received (in) and sent (out) since the driver's previous report.
    void addByteCount(const QString &serverUid, Vpn::Protocol protocol, qlonglong in, qlonglong out);

signals:
    void rateChanged();

private slots:
    void updateRate();

private:
    std::unique_ptr<TrafficManagerPrivate> d;
};
