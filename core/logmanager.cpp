#include "logmanager.h"

#include "ilogmanagerfilter.h"

#include <QDateTime>
#include <QHash>
#include <QReadWriteLock>
#include <QStringList>
#include <QTimer>

#include <deque>

namespace {

// Queued after the last data of an attempt; not a level of stored data.
constexpr int ResetMarker = 4;

struct Chunk
{
    int level;
    QByteArray data;
};

QString combined(const QHash<int, QByteArray> &table)
{
    return QStringList{
        QStringLiteral("Generic"),
        QString::fromUtf8(table.value(LogManager::GenericLevel)),
        QStringLiteral("OpenVPN"),
        QString::fromUtf8(table.value(LogManager::OpenVpnLevel)),
        QStringLiteral("RAS"),
        QString::fromUtf8(table.value(LogManager::RasLevel)),
    }.join(QLatin1String("\r\n"));
}

} // namespace

class LogManagerPrivate
{
public:
    ILogManagerFilter *filter = nullptr;
    mutable QReadWriteLock lock;
    QStringList pendingLines;
    std::deque<Chunk> pendingData;
    QHash<int, QByteArray> data;
    QHash<int, QByteArray> latest;

    void queue(Chunk chunk)
    {
        QWriteLocker locker(&lock);
        pendingData.push_back(std::move(chunk));
    }
};

LogManager::LogManager(ILogManagerFilter *filter, QObject *parent)
    : QObject(parent)
    , d(new LogManagerPrivate)
{
    d->filter = filter;
}

LogManager::~LogManager() = default;

void LogManager::addData(Level level, const QByteArray &data)
{
    d->queue({level, data});
    QTimer::singleShot(0, this, &LogManager::processData);
}

void LogManager::addDataWithTimestamp(Level level, const QByteArray &data)
{
    const QByteArray stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    addData(level, stamp + " -> " + data + "\r\n");
}

void LogManager::addLine(const QString &line)
{
    {
        QWriteLocker locker(&d->lock);
        d->pendingLines.append(filterLine(line));
    }
    QTimer::singleShot(0, this, &LogManager::processLines);
}

void LogManager::addLine(const QDateTime &time, const QString &line)
{
    const QString text = QStringLiteral("%1 %2").arg(time.toString(Qt::TextDate), filterLine(line));
    {
        QWriteLocker locker(&d->lock);
        d->pendingLines.append(text);
    }
    QTimer::singleShot(0, this, &LogManager::processLines);
}

void LogManager::addLineWithTimestamp(const QString &line)
{
    addLine(QDateTime::currentDateTime(), line);
}

void LogManager::reset()
{
    d->queue({ResetMarker, QByteArray()});
    QTimer::singleShot(0, this, &LogManager::processData);
}

QByteArray LogManager::data(Level level) const
{
    QReadLocker locker(&d->lock);
    return d->data.value(level);
}

QString LogManager::attachableLogs() const
{
    QHash<int, QByteArray> copy;
    {
        QReadLocker locker(&d->lock);
        copy = d->data;
    }
    return combined(copy);
}

QString LogManager::latest(Vpn::Protocol) const
{
    QHash<int, QByteArray> copy;
    {
        QReadLocker locker(&d->lock);
        copy = d->latest;
    }
    return combined(copy);
}

void LogManager::processLines()
{
    for (;;) {
        QString line;
        {
            QWriteLocker locker(&d->lock);
            if (d->pendingLines.isEmpty())
                return;
            line = d->pendingLines.takeFirst();
        }
        emit lineAdded(line);
    }
}

void LogManager::processData()
{
    for (;;) {
        Chunk chunk;
        {
            QWriteLocker locker(&d->lock);
            if (d->pendingData.empty())
                return;
            chunk = std::move(d->pendingData.front());
            d->pendingData.pop_front();
            // Stored before it is announced, so that a listener reading the log sees it.
            if (chunk.level == ResetMarker) {
                d->latest.clear();
                continue;
            }
            QByteArray &kept = d->data[chunk.level];
            kept.append(chunk.data);
            if (kept.size() > MaximumDataSize)
                kept.remove(0, kept.size() - MaximumDataSize);
            d->latest[chunk.level].append(chunk.data);
        }

        switch (chunk.level) {
        case GenericLevel:
            emit genericData(chunk.data);
            break;
        case OpenVpnLevel:
            emit openVpnData(chunk.data);
            break;
        case RasLevel:
            emit rasVpnData(chunk.data);
            break;
        default:
            break;
        }
    }
}

QString LogManager::filterLine(const QString &line) const
{
    return d->filter ? d->filter->filter(line) : line;
}
