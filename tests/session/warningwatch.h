#pragma once

#include <QMessageLogContext>
#include <QMutex>
#include <QRegularExpression>
#include <QStringList>
#include <QtGlobal>

#include <utility>

// Collects the warnings that betray bugs: timers, sockets or objects touched from
// a thread that does not own them, processes left running. It also sees what is
// printed while a test cleans up, where QTest::failOnWarning() no longer looks.
// QtTest's own handler still gets every message.
namespace WarningWatch {

inline QMutex &mutex()
{
    static QMutex instance;
    return instance;
}

inline QStringList &caught()
{
    static QStringList instance;
    return instance;
}

inline QtMessageHandler &previous()
{
    static QtMessageHandler instance = nullptr;
    return instance;
}

inline void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static const QRegularExpression telling(
        QStringLiteral("QProcess: Destroyed|QThread: "
                       "Destroyed|QObject::|QSocketNotifier|QBasicTimer|QTimer::|another thread"));
    if ((type == QtWarningMsg || type == QtCriticalMsg) && telling.match(message).hasMatch()) {
        QMutexLocker locker(&mutex());
        caught().append(message);
    }
    if (previous())
        previous()(type, context, message);
}

// Call once QtTest runs, so that its handler is the one handed on to.
inline void install()
{
    previous() = qInstallMessageHandler(handle);
}

inline QStringList take()
{
    QMutexLocker locker(&mutex());
    return std::exchange(caught(), QStringList());
}

} // namespace WarningWatch
