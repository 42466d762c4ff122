#include "childprocess.h"

#include <QTest>

ChildProcess::ChildProcess(const QProcessEnvironment &environment, QObject *parent)
    : QObject(parent)
{
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&process, &QProcess::readyReadStandardOutput, this, &ChildProcess::readOutput);
}

ChildProcess::~ChildProcess()
{
    kill();
}

bool ChildProcess::start(const QString &program, const QStringList &arguments)
{
    process.start(program, arguments);
    return process.waitForStarted(5000);
}

bool ChildProcess::isRunning() const
{
    return process.state() != QProcess::NotRunning;
}

void ChildProcess::kill()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(5000);
}

bool ChildProcess::waitForFinished(int timeoutMs)
{
    // In the event loop rather than QProcess::waitForFinished(), so that sockets
    // of the test keep working meanwhile.
    const bool finished
        = QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    readOutput();
    return finished;
}

int ChildProcess::exitCode() const
{
    return process.exitCode();
}

QProcess::ExitStatus ChildProcess::exitStatus() const
{
    return process.exitStatus();
}

QByteArrayList ChildProcess::lines() const
{
    return collected;
}

QByteArrayList ChildProcess::values(const QByteArray &prefix) const
{
    const QByteArray start = prefix + ' ';
    QByteArrayList found;
    for (const QByteArray &line : collected) {
        if (line.startsWith(start))
            found << line.mid(start.size());
    }
    return found;
}

bool ChildProcess::waitForLine(const QByteArray &line, int timeoutMs)
{
    return QTest::qWaitFor([this, &line] { return collected.contains(line); }, timeoutMs);
}

void ChildProcess::readOutput()
{
    pending += process.readAllStandardOutput();
    qsizetype end;
    while ((end = pending.indexOf('\n')) >= 0) {
        collected << pending.left(end);
        pending.remove(0, end + 1);
    }
}
