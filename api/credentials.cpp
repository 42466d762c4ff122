#include "credentials.h"

class CredentialsData : public QSharedData
{
public:
    bool null = true;
    QString username;
    QString password;
};

Credentials::Credentials()
    : d(new CredentialsData)
{
}

Credentials::Credentials(const Credentials &other) = default;
Credentials &Credentials::operator=(const Credentials &other) = default;
Credentials::~Credentials() = default;

bool Credentials::isNull() const { return d->null; }
QString Credentials::username() const { return d->username; }
QString Credentials::password() const { return d->password; }

void Credentials::setUsername(const QString &username)
{
    d->username = username;
    d->null = false;
}

void Credentials::setPassword(const QString &password)
{
    d->password = password;
    d->null = false;
}

