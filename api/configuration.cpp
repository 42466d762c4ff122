#include "configuration.h"

#include "secretstore.h"
#include "winutils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QReadWriteLock>
#include <QSettings>
#include <QUuid>

#include <atomic>

namespace {

const QString KeyDebug = QStringLiteral("debug");
const QString KeyUuid = QStringLiteral("uuid");
const QString KeyWizardCompleted = QStringLiteral("wizard_completed");
const QString KeySaveCredentials = QStringLiteral("save_credentials");
const QString KeyUsername = QStringLiteral("username");
const QString KeyPassword = QStringLiteral("password");
const QString KeyTrialUid = QStringLiteral("trial_uid");
const QString KeyAutoStart = QStringLiteral("auto_start");
const QString KeyOfferAlternative = QStringLiteral("offer_alternative");
const QString KeySpeedBits = QStringLiteral("speed_bits");
const QString KeyAutoConnect = QStringLiteral("auto_connect");
const QString KeyAutoConnectType = QStringLiteral("auto_connect_type");
const QString KeyAutoConnectServerUid = QStringLiteral("auto_connect_server_uid");
const QString KeyShowIndicator = QStringLiteral("show_indicator");
const QString KeyMinimizeToTray = QStringLiteral("minimize_to_tray");
const QString KeyCloseToTray = QStringLiteral("close_to_tray");
const QString KeyLastProtocol = QStringLiteral("last_protocol");

constexpr int DefaultAutoConnectType = Configuration::AutoConnectLast;

// Only the user may read the settings file, from its first byte on: QSettings
// replaces the file keeping its permissions, but creates a new one world-readable.
// The organisation's folder is ours and closed as well; a shared one is left alone.
void makePrivate(const QString &fileName)
{
    const QFileInfo folder(QFileInfo(fileName).absolutePath());
    const QFile::Permissions folderPermissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (!folder.exists()) {
        QDir().mkpath(folder.absolutePath());
        QFile::setPermissions(folder.absoluteFilePath(), folderPermissions);
    } else if (folder.fileName() == QCoreApplication::organizationName()) {
        QFile::setPermissions(folder.absoluteFilePath(), folderPermissions);
    }
    const QFile::Permissions filePermissions = QFile::ReadOwner | QFile::WriteOwner;
    QFile file(fileName);
    if (file.exists())
        file.setPermissions(filePermissions);
    else
        file.open(QIODevice::WriteOnly, filePermissions);
}

} // namespace

class ConfigurationPrivate
{
public:
    mutable QReadWriteLock lock;
    std::atomic<bool> batching{false};
    std::atomic<int> pendingChanges{0};
    // Holds the password once it has answered; null while the settings file does.
    SecretStore *secrets = nullptr;
    bool debug = false;
    QString uuid;
    bool wizardCompleted = false;
    bool saveCredentials = true;
    QString username;
    QString password;
    QString trialUid;
    bool autoStart = true;
    bool offerAlternative = true;
    bool speedBits = false;
    bool autoConnect = false;
    int autoConnectType = Configuration::AutoConnectNone;
    QString autoConnectServerUid;
    bool showIndicator = false;
    bool minimizeToTray = false;
    bool closeToTray = false;
    QString lastProtocol;

    template<typename T>
    T get(T ConfigurationPrivate::*field) const
    {
        QReadLocker locker(&lock);
        return this->*field;
    }

    // Stores a changed value and writes it, or removes the key when `remove` says
    // the value is the default. False when nothing changed.
    template<typename T>
    bool update(T ConfigurationPrivate::*field, const T &value, const QString &key, bool remove)
    {
        if (get(field) == value)
            return false;
        QSettings settings;
        QWriteLocker locker(&lock);
        this->*field = value;
        if (remove)
            settings.remove(key);
        else
            settings.setValue(key, value);
        return true;
    }

    // Like every other string, an empty user name or password is not stored. The
    // secret store files the password under the user name. The settings file keeps
    // the password until the store confirms it (confirm()), so a store that fails
    // or a quit that comes first loses nothing. Under the write lock: the store only
    // queues the work.
    void writeCredentials(QSettings &settings, const QString &previousUsername) const
    {
        const auto write = [&](const QString &key, const QString &value) {
            if (saveCredentials && !value.isEmpty())
                settings.setValue(key, value);
            else
                settings.remove(key);
        };
        write(KeyUsername, username);
        write(KeyPassword, password);
        makePrivate(settings.fileName());
        if (!secrets)
            return;
        if (!previousUsername.isEmpty() && previousUsername != username)
            secrets->remove(previousUsername);
        if (username.isEmpty())
            return;
        if (saveCredentials && !password.isEmpty())
            secrets->write(username, password);
        else
            secrets->remove(username);
    }

    // The store's first answer. True when it gave the password.
    bool attach(SecretStore *store, SecretStore::Status status, const QString &key, const QString &secret)
    {
        if (status == SecretStore::Unavailable)
            return false;
        QWriteLocker locker(&lock);
        secrets = store;
        if (!saveCredentials || username.isEmpty())
            return false;
        if (!password.isEmpty()) {
            // From the settings file: an older version's, one the store never
            // confirmed, or one entered while the store was silent.
            secrets->write(username, password);
            return false;
        }
        if (status != SecretStore::Found || key != username || secret.isEmpty())
            return false;
        password = secret;
        return true;
    }

    // The store holds the password: the settings file's copy goes, unless the login
    // has changed since.
    void confirm(const QString &key, const QString &secret)
    {
        QSettings settings;
        QWriteLocker locker(&lock);
        if (secrets && key == username && secret == password && settings.contains(KeyPassword))
            settings.remove(KeyPassword);
    }

    // The store failed: the settings file keeps the login from now on.
    void detach()
    {
        QSettings settings;
        QWriteLocker locker(&lock);
        secrets = nullptr;
        writeCredentials(settings, username);
    }
};

Configuration::Configuration()
    : d(new ConfigurationPrivate)
{
    QSettings settings;
    makePrivate(settings.fileName());
    QWriteLocker locker(&d->lock);
    d->debug = settings.value(KeyDebug, false).toBool();
    d->uuid = settings.value(KeyUuid).toString();
    d->wizardCompleted = settings.value(KeyWizardCompleted, false).toBool();
    d->saveCredentials = settings.value(KeySaveCredentials, true).toBool();
    d->username = settings.value(KeyUsername).toString();
    d->password = settings.value(KeyPassword).toString();
    d->trialUid = settings.value(KeyTrialUid).toString();
    d->offerAlternative = settings.value(KeyOfferAlternative, true).toBool();
    d->speedBits = settings.value(KeySpeedBits, false).toBool();
    d->autoConnect = settings.value(KeyAutoConnect, false).toBool();
    d->autoConnectServerUid = settings.value(KeyAutoConnectServerUid).toString();
    d->showIndicator = settings.value(KeyShowIndicator, false).toBool();
    d->minimizeToTray = settings.value(KeyMinimizeToTray, false).toBool();
    d->closeToTray = settings.value(KeyCloseToTray, false).toBool();
    d->lastProtocol = settings.value(KeyLastProtocol).toString();

    if (d->uuid.isEmpty()) {
        d->uuid = QUuid::createUuid().toString();
        settings.setValue(KeyUuid, d->uuid);
    }

    // The autostart entry on disk wins over the stored value.
    d->autoStart = WinUtils::isAutoStartShortcutPresent();
    settings.setValue(KeyAutoStart, d->autoStart);

    bool ok = false;
    const int type = settings.value(KeyAutoConnectType, DefaultAutoConnectType).toInt(&ok);
    if (ok && type >= AutoConnectNone && type <= AutoConnectNearest)
        d->autoConnectType = type;
}

Configuration::~Configuration() = default;

bool Configuration::debug() const { return d->get(&ConfigurationPrivate::debug); }
QString Configuration::uuid() const { return d->get(&ConfigurationPrivate::uuid); }
bool Configuration::isWizardCompleted() const { return d->get(&ConfigurationPrivate::wizardCompleted); }
bool Configuration::saveCredentials() const { return d->get(&ConfigurationPrivate::saveCredentials); }
QString Configuration::username() const { return d->get(&ConfigurationPrivate::username); }
QString Configuration::password() const { return d->get(&ConfigurationPrivate::password); }
QString Configuration::trialUid() const { return d->get(&ConfigurationPrivate::trialUid); }
bool Configuration::autoStart() const { return d->get(&ConfigurationPrivate::autoStart); }
bool Configuration::offerAlternative() const { return d->get(&ConfigurationPrivate::offerAlternative); }
bool Configuration::speedBits() const { return d->get(&ConfigurationPrivate::speedBits); }
bool Configuration::autoConnect() const { return d->get(&ConfigurationPrivate::autoConnect); }
int Configuration::autoConnectType() const { return d->get(&ConfigurationPrivate::autoConnectType); }
QString Configuration::autoConnectServerUid() const { return d->get(&ConfigurationPrivate::autoConnectServerUid); }
bool Configuration::showIndicator() const { return d->get(&ConfigurationPrivate::showIndicator); }
bool Configuration::minimizeToTray() const { return d->get(&ConfigurationPrivate::minimizeToTray); }
bool Configuration::closeToTray() const { return d->get(&ConfigurationPrivate::closeToTray); }
QString Configuration::lastProtocol() const { return d->get(&ConfigurationPrivate::lastProtocol); }

bool Configuration::hasCredentials() const
{
    QReadLocker locker(&d->lock);
    return !d->username.isEmpty() && !d->password.isEmpty();
}

Credentials Configuration::credentials() const
{
    QReadLocker locker(&d->lock);
    Credentials credentials;
    if (!d->username.isEmpty() && !d->password.isEmpty()) {
        credentials.setUsername(d->username);
        credentials.setPassword(d->password);
    }
    return credentials;
}

void Configuration::setWizardCompleted(bool completed)
{
    if (d->update(&ConfigurationPrivate::wizardCompleted, completed, KeyWizardCompleted, !completed))
        notify();
}

void Configuration::setSaveCredentials(bool save)
{
    if (d->get(&ConfigurationPrivate::saveCredentials) == save)
        return;
    {
        QSettings settings;
        QWriteLocker locker(&d->lock);
        d->saveCredentials = save;
        if (save)
            settings.remove(KeySaveCredentials);
        else
            settings.setValue(KeySaveCredentials, false);
        d->writeCredentials(settings, d->username);
    }
    notify();
}

void Configuration::setCredentials(const QString &username, const QString &password)
{
    {
        QReadLocker locker(&d->lock);
        if (d->username == username && d->password == password)
            return;
    }
    {
        QSettings settings;
        QWriteLocker locker(&d->lock);
        const QString previousUsername = d->username;
        d->username = username;
        d->password = password;
        d->writeCredentials(settings, previousUsername);
    }
    notify();
}

void Configuration::setTrialUid(const QString &uid)
{
    if (d->update(&ConfigurationPrivate::trialUid, uid, KeyTrialUid, uid.isEmpty()))
        notify();
}

void Configuration::setAutoStart(bool autoStart)
{
    if (!d->update(&ConfigurationPrivate::autoStart, autoStart, KeyAutoStart, false))
        return;
    WinUtils::setAutoStartShortcut(autoStart);
    notify();
}

void Configuration::setOfferAlternative(bool offer)
{
    if (d->update(&ConfigurationPrivate::offerAlternative, offer, KeyOfferAlternative, offer))
        notify();
}

void Configuration::setSpeedBits(bool bits)
{
    if (d->update(&ConfigurationPrivate::speedBits, bits, KeySpeedBits, !bits))
        notify();
}

void Configuration::setAutoConnect(bool autoConnect)
{
    if (d->update(&ConfigurationPrivate::autoConnect, autoConnect, KeyAutoConnect, !autoConnect))
        notify();
}

void Configuration::setAutoConnectType(int type)
{
    if (d->update(&ConfigurationPrivate::autoConnectType, type, KeyAutoConnectType, type == DefaultAutoConnectType))
        notify();
}

void Configuration::setAutoConnectServerUid(const QString &uid)
{
    if (d->update(&ConfigurationPrivate::autoConnectServerUid, uid, KeyAutoConnectServerUid, uid.isEmpty()))
        notify();
}

void Configuration::setShowIndicator(bool show)
{
    if (d->update(&ConfigurationPrivate::showIndicator, show, KeyShowIndicator, !show))
        notify();
}

void Configuration::setMinimizeToTray(bool minimize)
{
    if (d->update(&ConfigurationPrivate::minimizeToTray, minimize, KeyMinimizeToTray, !minimize))
        notify();
}

void Configuration::setCloseToTray(bool close)
{
    if (d->update(&ConfigurationPrivate::closeToTray, close, KeyCloseToTray, !close))
        notify();
}

void Configuration::setLastProtocol(const QString &protocol)
{
    if (d->update(&ConfigurationPrivate::lastProtocol, protocol, KeyLastProtocol, protocol.isEmpty()))
        notify();
}

bool Configuration::useSecretStore(SecretStore *store, int msecs)
{
    connect(store, &SecretStore::answered, this,
        [this, store](SecretStore::Status status, const QString &key, const QString &secret) {
            if (d->attach(store, status, key, secret))
                notify();
        });
    connect(store, &SecretStore::written, this,
        [this](const QString &key, const QString &secret) { d->confirm(key, secret); });
    connect(store, &SecretStore::failed, this, [this, store] {
        disconnect(store, nullptr, this, nullptr);
        d->detach();
    });
    store->read(username());
    store->waitForRead(msecs);
    QReadLocker locker(&d->lock);
    return d->secrets != nullptr;
}

void Configuration::beginUpdate()
{
    if (d->batching.exchange(true))
        return;
    d->pendingChanges = 0;
}

void Configuration::endUpdate()
{
    d->batching = false;
    if (d->pendingChanges.exchange(0) > 0)
        emit changed();
}

void Configuration::notify()
{
    if (d->batching)
        ++d->pendingChanges;
    else
        emit changed();
}
