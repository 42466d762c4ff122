#pragma once

#include <QObject>
#include <QString>

#include <memory>

class LogManager;
class SecretStorePrivate;

// The desktop's store of secrets (a Secret Service such as GNOME Keyring, or
// KWallet) through QtKeychain, under the application's name. The store answers
// asynchronously; each failure is logged once, with QtKeychain's reason and never
// with a secret.
class SecretStore : public QObject
{
    Q_OBJECT

public:
    enum Status {
        Found,
        NotFound,
        Unavailable, // no store on this desktop, or it refused
    };
    Q_ENUM(Status)

    explicit SecretStore(LogManager *logManager, QObject *parent = nullptr);
    ~SecretStore() override;

    // On the store's thread. The answer comes with answered().
    void read(const QString &key);
    // Runs the event loop until every read is answered, for at most msecs (0: not at
    // all). False when time ran out; the answer may still come later.
    bool waitForRead(int msecs);
    // Any thread. The answer comes with written() or failed().
    void write(const QString &key, const QString &secret);
    // Any thread. A failure is only logged.
    void remove(const QString &key);

signals:
    void answered(SecretStore::Status status, const QString &key, const QString &secret);
    void written(const QString &key, const QString &secret);
    void failed();

private:
    std::unique_ptr<SecretStorePrivate> d;
};
