#include "context.h"

#include "vpnserver.h"

#include <QLocale>
#include <QReadWriteLock>

class ContextPrivate
{
public:
    mutable QReadWriteLock lock;
    bool valid = false;
    qint64 statusTimestamp = 0;
    UserStatus userStatus;
    VpnAccount vpnAccount;
    QList<VpnResource> vpnResources;
    QHash<QString, QString> links;
    Context::Texts texts;
    QHash<QString, QVariant> variables;
};

Context::Context()
    : d(new ContextPrivate)
{
}

Context::~Context() = default;

void Context::setUserStatus(const UserStatus &status)
{
    QWriteLocker locker(&d->lock);
    d->userStatus = status;
    d->statusTimestamp = status.timestamp();
    d->vpnAccount = status.vpnAccount();
    d->vpnResources = status.vpnResources();
    d->valid = true;
}

void Context::setLinks(const QHash<QString, QString> &links)
{
    QWriteLocker locker(&d->lock);
    if (!d->links.isSharedWith(links))
        d->links = links;
    d->valid = true;
}

void Context::setTexts(const Texts &texts)
{
    QWriteLocker locker(&d->lock);
    if (!d->texts.isSharedWith(texts))
        d->texts = texts;
    d->valid = true;
}

void Context::setVariables(const QHash<QString, QVariant> &variables)
{
    QWriteLocker locker(&d->lock);
    if (!d->variables.isSharedWith(variables))
        d->variables = variables;
    d->valid = true;
}

bool Context::isValid() const
{
    QReadLocker locker(&d->lock);
    return d->valid;
}

qint64 Context::statusTimestamp() const
{
    QReadLocker locker(&d->lock);
    return d->statusTimestamp;
}

UserStatus Context::userStatus() const
{
    QReadLocker locker(&d->lock);
    return d->userStatus;
}

VpnAccount Context::vpnAccount() const
{
    QReadLocker locker(&d->lock);
    return d->vpnAccount;
}

bool Context::isAccountUsable() const
{
    QReadLocker locker(&d->lock);
    return d->userStatus.isActive();
}

QList<VpnResource> Context::vpnResources(const VpnServer &server, Vpn::Protocol protocol) const
{
    QHash<QString, VpnResource> kept;
    QReadLocker locker(&d->lock);
    for (const VpnResource &resource : std::as_const(d->vpnResources)) {
        if (resource.provider() != server.provider() || resource.protocol() != protocol)
            continue;
        const auto it = kept.find(resource.key());
        if (it == kept.end())
            kept.insert(resource.key(), resource);
        else if (it->server().isEmpty() && resource.server() == server.host())
            *it = resource;
    }
    return kept.values();
}

bool Context::boolVariable(const QString &key, bool defaultValue) const
{
    QReadLocker locker(&d->lock);
    const auto it = d->variables.constFind(key);
    return it == d->variables.constEnd() ? defaultValue : it->toBool();
}

int Context::intVariable(const QString &key, int defaultValue) const
{
    QReadLocker locker(&d->lock);
    const auto it = d->variables.constFind(key);
    if (it == d->variables.constEnd())
        return defaultValue;
    bool ok = false;
    const int value = it->toInt(&ok);
    return ok ? value : defaultValue;
}

QString Context::stringVariable(const QString &key) const
{
    QReadLocker locker(&d->lock);
    return d->variables.value(key).toString();
}

QString Context::link(const QString &name) const
{
    QReadLocker locker(&d->lock);
    return d->links.value(name);
}

QString Context::text(const QString &name) const
{
    const QString language = QLocale().name().left(2).toLower();
    QReadLocker locker(&d->lock);
    return d->texts.value(language).value(name);
}
