#pragma once

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class CredentialsData;

// An account's user name and password.
class Credentials
{
public:
    Credentials();
    Credentials(const Credentials &other);
    Credentials &operator=(const Credentials &other);
    ~Credentials();

    bool isNull() const;
    QString username() const;
    QString password() const;

    void setUsername(const QString &username);
    void setPassword(const QString &password);

private:
    QSharedDataPointer<CredentialsData> d;
};

Q_DECLARE_METATYPE(Credentials)
