#pragma once

#include <QApplication>

class QLocalServer;

// The application object, which also keeps a second copy of the program from
// running for the same user: the first instance holds a lock file in the user's
// runtime folder and listens on a local socket beside it, a later one hands its
// message over and exits. Other users of the machine have guards of their own.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
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
    // The user the guard's folder belongs to, this process's own user and root.
    bool isTrusted(uint uid) const;

    bool running = false;
    QString key;
    QString socketPath;
    uint folderOwner = 0;
    int lockFile = -1; // held with flock() while this is the first instance
    QLocalServer *server = nullptr;
};
