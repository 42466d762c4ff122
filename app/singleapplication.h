#pragma once

#include <QApplication>
#include <QSharedMemory>

class QTcpServer;

// The application object, which also keeps a second copy of the program from
// running: the first instance holds a shared-memory guard and listens on a
// loopback port, a later one hands its message over and exits.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    static constexpr quint16 Port = 1825;
    static constexpr int TimeoutMs = 5000;

    SingleApplication(int &argc, char **argv, const QString &key);
    ~SingleApplication() override;

    bool isRunning() const;
    // Sends the message to the first instance; false when this is the first one
    // or the message could not be delivered.
    bool sendMessage(const QString &message);

signals:
    void messageAvailable(const QString &message);
    void fileOpenRequest(const QString &file);

protected:
    bool event(QEvent *event) override;

private slots:
    void receiveMessage();

private:
    bool attachToLiveGuard();

    bool running = false;
    QString key;
    QSharedMemory sharedMemory;
    QTcpServer *server = nullptr;
};
