#include "secretstore.h"

#include "logmanager.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

class SecretStorePrivate
{
public:
    LogManager *logManager = nullptr;
    QString service;
    int pendingReads = 0;

    void log(const QByteArray &line) const { logManager->addDataWithTimestamp(LogManager::GenericLevel, line); }

    // Jobs have no parent and delete themselves when done: the store's answer to a
    // job reaches QtKeychain's callback even when the job outlived a wait or this
    // object, and deleting a job before that would leave the callback dangling.
    template<typename Job>
    Job *createJob(const QString &key) const
    {
        auto *job = new Job(service);
        job->setAutoDelete(true);
        job->setKey(key);
        return job;
    }
};

SecretStore::SecretStore(LogManager *logManager, QObject *parent)
    : QObject(parent)
    , d(new SecretStorePrivate)
{
    d->logManager = logManager;
    d->service = QCoreApplication::applicationName();
}

SecretStore::~SecretStore() = default;

void SecretStore::read(const QString &key)
{
    auto *job = d->createJob<QKeychain::ReadPasswordJob>(key);
    ++d->pendingReads;
    connect(job, &QKeychain::Job::finished, this, [this, key](QKeychain::Job *finished) {
        --d->pendingReads;
        switch (finished->error()) {
        case QKeychain::NoError:
            emit answered(Found, key, static_cast<QKeychain::ReadPasswordJob *>(finished)->textData());
            return;
        case QKeychain::EntryNotFound:
            emit answered(NotFound, key, QString());
            return;
        default:
            d->log("The desktop's secret store is not available (" + finished->errorString().toUtf8()
                + "): the password is kept in the settings file, which only this user can read");
            emit answered(Unavailable, key, QString());
        }
    });
    job->start();
}

bool SecretStore::waitForRead(int msecs)
{
    if (d->pendingReads > 0 && msecs > 0) {
        QEventLoop loop;
        QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
        connect(this, &SecretStore::answered, &loop, [this, &loop] {
            if (d->pendingReads == 0)
                loop.quit();
        });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (d->pendingReads == 0)
        return true;
    d->log("The desktop's secret store did not answer within " + QByteArray::number(msecs)
        + " ms: the password stays in the settings file until it does");
    return false;
}

void SecretStore::write(const QString &key, const QString &secret)
{
    QMetaObject::invokeMethod(this, [this, key, secret] {
        auto *job = d->createJob<QKeychain::WritePasswordJob>(key);
        job->setTextData(secret);
        connect(job, &QKeychain::Job::finished, this, [this, key, secret](QKeychain::Job *finished) {
            if (finished->error() == QKeychain::NoError) {
                emit written(key, secret);
                return;
            }
            d->log("The password could not be put into the desktop's secret store ("
                + finished->errorString().toUtf8()
                + "): it is kept in the settings file, which only this user can read");
            emit failed();
        });
        job->start();
    });
}

void SecretStore::remove(const QString &key)
{
    QMetaObject::invokeMethod(this, [this, key] {
        auto *job = d->createJob<QKeychain::DeletePasswordJob>(key);
        connect(job, &QKeychain::Job::finished, this, [this](QKeychain::Job *finished) {
            if (finished->error() != QKeychain::NoError && finished->error() != QKeychain::EntryNotFound)
                d->log("The password could not be removed from the desktop's secret store ("
                    + finished->errorString().toUtf8() + ")");
        });
        job->start();
    });
}
