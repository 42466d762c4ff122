#include "vpnclient.h"

#include "configuration.h"
#include "connectionfeedback.h"
#include "context.h"
#include "databasemanager.h"
#include "logmanager.h"
#include "openvpn.h"
#include "rasvpn.h"
#include "servervariables.h"
#include "trafficmanager.h"
#include "vpnmanager.h"
#include "winutils.h"

#include <QDateTime>
#include <QReadWriteLock>
#include <QSettings>
#include <QTimer>

#include <optional>

namespace {

const QString KeyFailuresOpenVpn = QStringLiteral("failures_ovpn");
const QString KeyFailuresL2tp = QStringLiteral("failures_l2tp");
const QString KeyFailuresPptp = QStringLiteral("failures_pptp");

struct ErrorRecord
{
    VpnServer server;
    VpnConfiguration configuration;
    QString message;
};

} // namespace

class VpnClientPrivate
{
public:
    VpnClient *q = nullptr;
    LogManager *logManager = nullptr;
    Configuration *configuration = nullptr;
    Context *context = nullptr;
    DatabaseManager *database = nullptr;
    VpnManager *manager = nullptr;
    GeoIp originalIp;
    // The current connection has been judged broken and counted as a failure.
    bool brokenCounted = false;
    TrafficManager *trafficManager = nullptr;
    bool autoConnectPending = true;
    bool autoConnectInProgress = true;
    QDateTime stateSince;
    int changeCounter = 0;
    std::optional<VpnConnection> queued;
    std::optional<VpnConnection> current;
    QList<ErrorRecord> errors;
    bool errorShown = false;
    ConnectionFeedback *feedback = nullptr;
    bool failureDialogShown = false;
    OpenVpn *openVpn = nullptr;
    RasVpn *rasVpn = nullptr;
    int failuresL2tp = 0;
    int failuresPptp = 0;
    int failuresOpenVpn = 0;
    QTimer timeout;
    // Guards the statistics rows and the current server, which other threads read.
    mutable QReadWriteLock lock;
    QList<ConnectionStat> stats;

    void line(const QString &text) const { logManager->addLineWithTimestamp(text); }
    void data(const QString &text) const
    {
        logManager->addDataWithTimestamp(LogManager::GenericLevel, text.toUtf8());
    }

    // A statistics row about the current attempt; call with the lock held.
    void addStat(int status)
    {
        if (!current)
            return;
        const VpnServer server = current->server();
        const Vpn::Protocol protocol = current->configuration().protocol();
        ConnectionStat stat;
        stat.setElevated(WinUtils::isRunningAsAdministrator());
        stat.setServerUid(server.uid());
        stat.setProtocol(protocol);
        stat.setStatus(status);
        stat.setPing(server.ping());
        stat.setCapacity(qint16(server.capacity()));
        stat.setText(logManager->latest(protocol));
        stat.setTimestamp(context->statusTimestamp());
        stats.append(stat);
    }

    void setCurrent(std::optional<VpnConnection> connection)
    {
        VpnServer server;
        {
            QWriteLocker locker(&lock);
            current = std::move(connection);
            brokenCounted = false;
            if (current)
                server = current->server();
        }
        emit q->currentServerChanged(server);
    }

    void addFailure()
    {
        if (!current)
            return;
        switch (current->configuration().protocol()) {
        case Vpn::OpenVpnTcp:
        case Vpn::OpenVpnStealth:
            ++failuresOpenVpn;
            break;
        case Vpn::L2tp:
            ++failuresL2tp;
            break;
        case Vpn::Pptp:
            ++failuresPptp;
            break;
        case Vpn::OpenVpnUdp:
            break;
        }
        const bool reached = limitReached(context->intVariable(VAR_MAX_FAILURES_OVPN, -1), failuresOpenVpn)
            || limitReached(context->intVariable(VAR_MAX_FAILURES_L2TP, -1), failuresL2tp)
            || limitReached(context->intVariable(VAR_MAX_FAILURES_PPTP, -1), failuresPptp);
        if (reached && feedback && !failureDialogShown) {
            failureDialogShown = true;
            feedback->showVpnFailure(current->configuration().protocol());
        }
    }

    static bool limitReached(int limit, int count) { return limit >= 1 && count >= limit; }

    void clearFailures()
    {
        failuresL2tp = 0;
        failuresPptp = 0;
        failuresOpenVpn = 0;
    }
};

VpnClient::VpnClient(LogManager *logManager, Configuration *configuration, Context *context,
                     DatabaseManager *database, VpnManager *manager, QObject *parent)
    : QObject(parent)
    , d(new VpnClientPrivate)
{
    d->q = this;
    d->logManager = logManager;
    d->configuration = configuration;
    d->context = context;
    d->database = database;
    d->manager = manager;
    d->trafficManager = new TrafficManager(this);
    d->openVpn = new OpenVpn(logManager, context, this);
    d->rasVpn = new RasVpn(logManager, this);
    d->timeout.setSingleShot(true);

    connect(d->openVpn, &OpenVpn::processFinished, this, &VpnClient::openNextConnection);
    connect(d->openVpn, &OpenVpn::stateChanged, this, &VpnClient::stateChanged);
    connect(d->rasVpn, &RasVpn::stateChanged, this, &VpnClient::stateChanged);
    connect(d->openVpn, &OpenVpn::stateStringChanged, this, &VpnClient::openVpnStateStringChanged);
    connect(d->openVpn, &OpenVpn::byteCount, this, &VpnClient::addOpenVpnByteCount);
    connect(d->rasVpn, &RasVpn::byteCount, this, &VpnClient::addRasVpnByteCount);
    connect(d->openVpn, &OpenVpn::connectionError, this, &VpnClient::connectionError);
    connect(d->rasVpn, &RasVpn::connectionError, this, &VpnClient::connectionError);
    if (manager) {
        connect(manager, &VpnManager::readyConnect, this, &VpnClient::tryAutoConnectToServer);
        // The list may come after everything else an automatic connection waits for.
        connect(manager, &VpnManager::vpnServersChanged, this, &VpnClient::tryAutoConnectToServer);
    }
    connect(&d->timeout, &QTimer::timeout, this, &VpnClient::timeout);
}

VpnClient::~VpnClient()
{
    // The drivers are children and may still report while they are torn down.
    QObject::disconnect(d->openVpn, nullptr, this, nullptr);
    QObject::disconnect(d->rasVpn, nullptr, this, nullptr);
}

bool VpnClient::connectToServer(const VpnServer &server, const VpnConfiguration &configuration)
{
    d->line(tr("Connecting to %1").arg(server.host()));
    if (!d->openVpn && !d->rasVpn) {
        d->line(tr("Cannot connect to %1 as VPN system isn't initialized yet.").arg(server.host()));
        return false;
    }
    if (d->current && d->current->server().uid() == server.uid()
        && d->current->configuration().protocol() == configuration.protocol())
        return false;
    d->data(QStringLiteral("Connecting to VPN server %1").arg(server.host()));
    if (d->queued)
        d->line(tr("Cancelling queued connection to %1.").arg(d->queued->server().host()));
    VpnConnection connection;
    connection.setServer(server);
    connection.setConfiguration(configuration);
    d->queued = connection;
    if (d->current)
        disconnect();
    else
        openNextConnection();
    return true;
}

void VpnClient::openNextConnection()
{
    if (d->current)
        return;
    if (!d->queued) {
        d->line(tr("No next VPN server selected to connect to."));
        return;
    }
    ++d->changeCounter;
    d->setCurrent(std::exchange(d->queued, std::nullopt));
    d->timeout.start(d->context->intVariable(VAR_VPN_CONNECTION_TIMEOUT, 20) * 1000);
    d->logManager->reset();

    const VpnServer server = d->current->server();
    const VpnConfiguration configuration = d->current->configuration();
    bool accepted = false;
    switch (configuration.protocol()) {
    case Vpn::OpenVpnTcp:
    case Vpn::OpenVpnUdp:
        if (!d->openVpn->isReady()) {
            d->line(tr("Initialization required"));
            d->timeout.stop();
            d->queued = d->current;
            d->setCurrent(std::nullopt);
            return;
        }
        accepted = d->openVpn->open(server, configuration);
        break;
    case Vpn::OpenVpnStealth:
        accepted = d->openVpn->open(server, configuration);
        break;
    case Vpn::L2tp:
    case Vpn::Pptp:
        accepted = d->rasVpn->dial(server, configuration);
        break;
    }
    if (accepted)
        return;

    d->timeout.stop();
    {
        QWriteLocker locker(&d->lock);
        d->addStat(ConnectionStat::Refused);
    }
    emit statsChanged();
    d->addFailure();
    d->line(tr("Initializing connection to %1 failed. Trying again.").arg(server.host()));
    if (d->current) {
        d->line(tr("Waiting for existing connection to be closed."));
        // A newer request queued meanwhile wins over this retry.
        if (!d->queued)
            d->queued = d->current;
        d->setCurrent(std::nullopt);
    }
}

void VpnClient::stateChanged(VpnConnection::State state)
{
    ++d->changeCounter;
    if (!d->current || d->current->state() == state)
        return;
    const VpnConnection::State old = d->current->state();
    d->data(QStringLiteral("VPN connection state changed from %1 to %2").arg(int(old)).arg(int(state)));
    {
        QWriteLocker locker(&d->lock);
        d->current->setState(state);
    }
    if (state != VpnConnection::Connected) {
        d->stateSince = QDateTime();
    } else {
        if (d->timeout.isActive()) {
            d->timeout.stop();
            {
                QWriteLocker locker(&d->lock);
                d->addStat(ConnectionStat::Connected);
                d->clearFailures();
            }
            emit statsChanged();
        }
        VpnServer server = d->current->server();
        d->database->setConnectionTime(server);
        d->stateSince = QDateTime::currentDateTime();
    }
    emit vpnConnectionStateChanged(state);
    if (old >= VpnConnection::Connecting && state == VpnConnection::Disconnected) {
        d->timeout.stop();
        d->setCurrent(std::nullopt);
        openNextConnection();
    }
}

void VpnClient::openVpnStateStringChanged(const QString &name)
{
    static const QHash<QString, const char *> texts{
        {QStringLiteral("CONNECTING"), QT_TR_NOOP("Connecting")},
        {QStringLiteral("WAIT"), QT_TR_NOOP("Waiting for server reply")},
        {QStringLiteral("AUTH"), QT_TR_NOOP("Authenticating")},
        {QStringLiteral("GET_CONFIG"), QT_TR_NOOP("Getting client configuration")},
        {QStringLiteral("ASSIGN_IP"), QT_TR_NOOP("Assigning IP addresses")},
        {QStringLiteral("ADD_ROUTES"), QT_TR_NOOP("Adding network routes")},
        {QStringLiteral("CONNECTED"), QT_TR_NOOP("Connected")},
        {QStringLiteral("DISCONNECTED"), QT_TR_NOOP("Disconnected")},
        {QStringLiteral("RECONNECTING"), QT_TR_NOOP("Reconnecting")},
        {QStringLiteral("EXITING"), QT_TR_NOOP("Exiting")},
        {QStringLiteral("RESOLVE"), QT_TR_NOOP("Resolving host names")},
        {QStringLiteral("TCP_CONNECT"), QT_TR_NOOP("Connecting (TCP)")},
    };
    const auto it = texts.constFind(name);
    emit vpnConnectionStateStringChanged(it == texts.constEnd() ? name : tr(*it));
}

void VpnClient::timeout()
{
    d->timeout.stop();
    if (!d->current)
        return;
    {
        QWriteLocker locker(&d->lock);
        d->addStat(ConnectionStat::TimedOut);
    }
    emit statsChanged();
    d->data(QStringLiteral("VPN connection attempt to %1 timed out").arg(d->current->server().host()));
    d->addFailure();
}

void VpnClient::connectionError(const VpnServer &server, const VpnConfiguration &config, const QString &errorMessage)
{
    if (d->timeout.isActive()) {
        d->timeout.stop();
        {
            QWriteLocker locker(&d->lock);
            d->addStat(ConnectionStat::Failed);
        }
        emit statsChanged();
        d->addFailure();
    }
    d->errors.append({server, config, errorMessage});
    QTimer::singleShot(0, this, &VpnClient::showNextError);
}

void VpnClient::showNextError()
{
    if (d->errors.isEmpty() || d->errorShown)
        return;
    const ErrorRecord error = d->errors.takeFirst();
    d->line(tr("Unable to establish VPN connection to %1: %2").arg(error.server.host(), error.message));
    if (!d->feedback) {
        QTimer::singleShot(0, this, &VpnClient::showNextError);
        return;
    }
    d->errorShown = true;
    d->feedback->showConnectionError(error.server, error.configuration, error.message, [this] {
        d->errorShown = false;
        QTimer::singleShot(0, this, &VpnClient::showNextError);
    });
}

void VpnClient::disconnect()
{
    ++d->changeCounter;
    if (!d->current)
        return;
    const QString host = d->current->server().host();
    d->data(QStringLiteral("Closing connection to VPN server %1").arg(host));
    d->line(tr("Closing connection to VPN server %1.").arg(host));
    d->openVpn->disconnect();
    d->rasVpn->hangUp();
}

void VpnClient::addOpenVpnByteCount(qlonglong in, qlonglong out)
{
    if (d->current)
        d->trafficManager->addByteCount(d->current->server().uid(), d->current->configuration().protocol(), in, out);
}

void VpnClient::addRasVpnByteCount(qlonglong in, qlonglong out)
{
    addOpenVpnByteCount(in, out);
}

VpnConnection::State VpnClient::state() const
{
    return d->current ? d->current->state() : VpnConnection::Disconnected;
}

VpnServer VpnClient::currentServer() const
{
    QReadLocker locker(&d->lock);
    return d->current ? d->current->server() : VpnServer();
}

VpnConfiguration VpnClient::currentConfiguration() const
{
    QReadLocker locker(&d->lock);
    return d->current ? d->current->configuration() : VpnConfiguration();
}

bool VpnClient::hasConnection() const
{
    return d->current.has_value();
}

int VpnClient::connectedSeconds() const
{
    return d->stateSince.isNull() ? 0 : int(d->stateSince.secsTo(QDateTime::currentDateTime()));
}

int VpnClient::changeCounter() const
{
    return d->changeCounter;
}

bool VpnClient::isAutoConnecting() const
{
    return d->configuration->autoConnect() && d->autoConnectInProgress;
}

Vpn::Protocol VpnClient::defaultProtocol() const
{
    const QSettings settings;
    const QString defaultKey = Vpn::GetValidProtocolKey(settings.value(QStringLiteral("default_protocol")).toString());
    const bool force = settings.value(QStringLiteral("force_default_protocol"), false).toBool();
    QString key = d->configuration->lastProtocol();
    if ((key.isEmpty() || force) && !defaultKey.isEmpty())
        key = defaultKey;
    return Vpn::GetProtocol(key);
}

void VpnClient::loadFailures()
{
    QSettings settings;
    const auto load = [&settings](const QString &key, int &counter) {
        if (!settings.contains(key))
            return;
        counter = settings.value(key).toInt();
        settings.remove(key);
    };
    load(KeyFailuresOpenVpn, d->failuresOpenVpn);
    load(KeyFailuresL2tp, d->failuresL2tp);
    load(KeyFailuresPptp, d->failuresPptp);
}

void VpnClient::saveFailures()
{
    QSettings settings;
    const auto save = [&settings](const QString &key, int counter) {
        if (counter > 0)
            settings.setValue(key, counter);
    };
    save(KeyFailuresOpenVpn, d->failuresOpenVpn);
    save(KeyFailuresL2tp, d->failuresL2tp);
    save(KeyFailuresPptp, d->failuresPptp);
    d->openVpn->disconnect();
    d->rasVpn->hangUp();
}

int VpnClient::failures(Vpn::Protocol protocol) const
{
    switch (protocol) {
    case Vpn::L2tp:
        return d->failuresL2tp;
    case Vpn::Pptp:
        return d->failuresPptp;
    default:
        return d->failuresOpenVpn;
    }
}

void VpnClient::addStats(const QList<ConnectionStat> &stats)
{
    QWriteLocker locker(&d->lock);
    d->stats.append(stats);
}

QList<ConnectionStat> VpnClient::takeStats()
{
    QWriteLocker locker(&d->lock);
    return std::exchange(d->stats, {});
}

QList<ConnectionStat> VpnClient::stats() const
{
    QReadLocker locker(&d->lock);
    return d->stats;
}

TrafficManager *VpnClient::trafficManager() const
{
    return d->trafficManager;
}

OpenVpn *VpnClient::openVpn() const
{
    return d->openVpn;
}

RasVpn *VpnClient::rasVpn() const
{
    return d->rasVpn;
}

void VpnClient::setFeedback(ConnectionFeedback *feedback)
{
    d->feedback = feedback;
    d->openVpn->setFeedback(feedback);
}

void VpnClient::setOriginalIp(const GeoIp &geoIp)
{
    d->originalIp = geoIp;
    tryAutoConnectToServer();
}

void VpnClient::reportConnectivityFailure()
{
    bool count = false;
    {
        QWriteLocker locker(&d->lock);
        if (!d->current || d->current->server().isNull())
            return;
        const QString uid = d->current->server().uid();
        bool rewritten = false;
        for (ConnectionStat &stat : d->stats) {
            if (stat.serverUid() != uid)
                continue;
            stat.setStatus(ConnectionStat::Broken);
            stat.setText(d->logManager->latest(stat.protocol()));
            rewritten = true;
        }
        if (!rewritten)
            return;
        count = !std::exchange(d->brokenCounted, true);
    }
    emit statsChanged();
    if (count)
        d->addFailure();
}

void VpnClient::tryAutoConnectToServer()
{
    const Configuration *configuration = d->configuration;
    if (!d->autoConnectPending || !configuration->hasCredentials() || !d->manager || !d->manager->hasServers()
        || !configuration->autoConnect() || !d->context->isAccountUsable())
        return;
    if (!d->manager->isLoaded() || d->originalIp.isNull())
        return;
    const int type = configuration->autoConnectType();
    if (type == Configuration::AutoConnectBestPing && !d->manager->isReady())
        return;
    d->autoConnectPending = false;
    const VpnAccount account = d->context->vpnAccount();
    if (account.isNull())
        return;
    VpnConfiguration vpnConfiguration = VpnConfiguration::fromAccount(account);
    vpnConfiguration.setProtocol(defaultProtocol());

    DatabaseManager *database = d->database;
    VpnServer server;
    switch (type) {
    case Configuration::AutoConnectLast:
        server = database->lastConnectedServer();
        break;
    case Configuration::AutoConnectSpecific:
        if (!configuration->autoConnectServerUid().isEmpty())
            server = database->serverByUid(configuration->autoConnectServerUid());
        if (server.isNull())
            server = d->manager->nearestServer();
        break;
    case Configuration::AutoConnectBestPing:
        server = database->fastestServer();
        if (server.isNull())
            server = d->manager->nearestServer();
        break;
    default:
        server = d->manager->nearestServer();
        break;
    }
    if (server.isNull()) {
        d->autoConnectInProgress = false;
        return;
    }
    // The catalogue's record carries what the database does not keep.
    const int index = d->manager->indexOf(server.uid());
    if (index >= 0)
        server = d->manager->server(index);
    d->data(QStringLiteral("Auto-connecting to VPN server %1").arg(server.host()));
    d->line(tr("Auto-connecting to VPN server %1").arg(server.host()));
    connectToServer(server, vpnConfiguration);
}
