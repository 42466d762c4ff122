#include "context.h"

#include <QLocale>
#include <QReadWriteLock>

class ContextPrivate
{
public:
    mutable QReadWriteLock lock;
    bool valid = false;
    QHash<QString, QString> links;
    Context::Texts texts;
    QHash<QString, QVariant> variables;
};

Context::Context()
    : d(new ContextPrivate)
{
}

Context::~Context() = default;

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
