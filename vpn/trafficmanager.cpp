#include "trafficmanager.h"

#include <QDateTime>
#include <QMutex>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <numeric>

class TrafficManagerPrivate
{
public:
    qint64 totalIn = 0;
    qint64 totalOut = 0;
    QList<qint64> windowIn = QList<qint64>(TrafficManager::RateWindow, 0);
    QList<qint64> windowOut = QList<qint64>(TrafficManager::RateWindow, 0);
    qint64 secondIn = 0;
    qint64 secondOut = 0;
    QList<qint32> historyIn = QList<qint32>(TrafficManager::HistoryLength, 0);
    QList<qint32> historyOut = QList<qint32>(TrafficManager::HistoryLength, 0);
    QTimer timer;
    QMutex mutex;
    QList<TrafficStat> stats;

    static void push(QList<qint32> &history, qint64 sample)
    {
        history.removeFirst();
        history.append(qint32(std::clamp<qint64>(sample, 0, std::numeric_limits<qint32>::max())));
    }

    static void pushFront(QList<qint64> &window, qint64 sample)
    {
        window.removeLast();
        window.prepend(sample);
    }

    static bool sameRow(const TrafficStat &a, const TrafficStat &b)
    {
        return a.date() == b.date() && a.serverUid() == b.serverUid() && a.protocol() == b.protocol();
    }
};

TrafficManager::TrafficManager(QObject *parent)
    : QObject(parent)
    , d(new TrafficManagerPrivate)
{
    connect(&d->timer, &QTimer::timeout, this, &TrafficManager::updateRate);
    d->timer.start(1000);
}

TrafficManager::~TrafficManager() = default;

qint64 TrafficManager::rateIn() const
{
    return std::accumulate(d->windowIn.cbegin(), d->windowIn.cend(), qint64(0)) / RateWindow;
}

qint64 TrafficManager::rateOut() const
{
    return std::accumulate(d->windowOut.cbegin(), d->windowOut.cend(), qint64(0)) / RateWindow;
}

qint64 TrafficManager::totalIn() const
{
    return d->totalIn;
}

qint64 TrafficManager::totalOut() const
{
    return d->totalOut;
}

void TrafficManager::history(QList<qint32> *in, QList<qint32> *out) const
{
    *in = d->historyIn;
    *out = d->historyOut;
}

QList<TrafficStat> TrafficManager::takeStats()
{
    QMutexLocker locker(&d->mutex);
    return std::exchange(d->stats, {});
}

void TrafficManager::addStats(const QList<TrafficStat> &stats)
{
    QMutexLocker locker(&d->mutex);
    for (const TrafficStat &stat : stats) {
        const auto it = std::find_if(d->stats.begin(), d->stats.end(),
                                     [&stat](const TrafficStat &row) { return TrafficManagerPrivate::sameRow(row, stat); });
        if (it == d->stats.end()) {
            d->stats.append(stat);
        } else {
            it->setUp(it->up() + stat.up());
            it->setDown(it->down() + stat.down());
        }
    }
}

void TrafficManager::addByteCount(const QString &serverUid, Vpn::Protocol protocol, qlonglong in, qlonglong out)
{
    d->totalIn += in;
    d->totalOut += out;
    d->secondIn += in;
    d->secondOut += out;

    TrafficStat row;
    row.setDate(QDateTime::currentDateTimeUtc().date());
    row.setServerUid(serverUid);
    row.setProtocol(protocol);
    row.setUp(out);
    row.setDown(in);
    addStats({row});
}

void TrafficManager::updateRate()
{
    const qint64 in = std::exchange(d->secondIn, 0);
    const qint64 out = std::exchange(d->secondOut, 0);
    TrafficManagerPrivate::push(d->historyIn, in);
    TrafficManagerPrivate::push(d->historyOut, out);
    TrafficManagerPrivate::pushFront(d->windowIn, in);
    TrafficManagerPrivate::pushFront(d->windowOut, out);
    emit rateChanged();
}
