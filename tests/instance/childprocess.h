#pragma once

#include <QByteArrayList>
#include <QObject>
#include <QProcess>

// A program a test starts, with its standard output collected line by line. A
// child still running when this object goes is killed and waited for, so that a
// failing test leaves no process behind.
class ChildProcess : public QObject
{
    Q_OBJECT

public:
    explicit ChildProcess(const QProcessEnvironment &environment, QObject *parent = nullptr);
    ~ChildProcess() override;

    bool start(const QString &program, const QStringList &arguments = {});
    bool isRunning() const;
    // Sends SIGKILL and waits for the child to be reaped.
    void kill();
    bool waitForFinished(int timeoutMs);
    int exitCode() const;
    QProcess::ExitStatus exitStatus() const;

    // Complete lines written so far, without their line ends.
    QByteArrayList lines() const;
    // The part after "prefix " of every line that starts so.
    QByteArrayList values(const QByteArray &prefix) const;
    bool waitForLine(const QByteArray &line, int timeoutMs);

private:
    void readOutput();

    QProcess process;
    QByteArray pending;
    QByteArrayList collected;
};
