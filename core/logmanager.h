#pragma once

#include "core_global.h"
#include "vpn.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QDateTime;
class ILogManagerFilter;
class LogManagerPrivate;

// The program's single log. Any thread may add; storing and announcing happen on
// the owner's thread, so producers never wait for consumers.
class CORE_EXPORT LogManager : public QObject
{
    Q_OBJECT

public:
    enum Level {
        GenericLevel = 1,
        OpenVpnLevel = 2,
        RasLevel = 3,
    };
    Q_ENUM(Level)

    // Data kept per level; older bytes are dropped from the front beyond this.
    static constexpr int MaximumDataSize = 10 * 1024 * 1024;

    LogManager(ILogManagerFilter *filter, QObject *parent);
    ~LogManager() override;

    void addData(Level level, const QByteArray &data);
    void addDataWithTimestamp(Level level, const QByteArray &data);
    void addLine(const QString &line);
    void addLine(const QDateTime &time, const QString &line);
    void addLineWithTimestamp(const QString &line);
    // Starts a new attempt: latest() forgets what came before.
    void reset();

    QByteArray data(Level level) const;
    QString attachableLogs() const;
    // Everything since the last reset(), all three sources whatever the protocol.
    QString latest(Vpn::Protocol protocol) const;

signals:
    void lineAdded(const QString &line);
    void genericData(const QByteArray &data);
    void openVpnData(const QByteArray &data);
    void rasVpnData(const QByteArray &data);

private:
    void processLines();
    void processData();
    QString filterLine(const QString &line) const;

    std::unique_ptr<LogManagerPrivate> d;
};
