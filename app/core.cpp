#include "core.h"

#include "anonymousloginrequest.h"
#include "configuration.h"
#include "context.h"
#include "databasemanager.h"
#include "downloadmanager.h"
#include "errorreportrequest.h"
#include "geoiprequest.h"
#include "localemanager.h"
#include "loginrequest.h"
#include "logmanager.h"
#include "logmanagerfilter.h"
#include "networkmanager.h"
#include "openvpn.h"
#include "platformmanager.h"
#include "secretstore.h"
#include "servervariables.h"
#include "sessionfeedback.h"
#include "statusrequest.h"
#include "trafficmanager.h"
#include "urlrequest.h"
#include "variablesrequest.h"
#include "vpnclient.h"
#include "vpnmanager.h"
#include "vpnservermodel.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QProcess>
#include <QReadWriteLock>
#include <QSettings>
#include <QTimer>

#include <deque>

namespace {

constexpr int DefaultStatusIntervalMs = 60000;
constexpr int GeoIpDelayMs = 1000;
// The longest start-up wait for the desktop's secret store, which may still be
// starting with the session or asking the user to unlock it; a later answer still
// counts, and meanwhile the settings file holds the password.
constexpr int SecretStoreWaitMs = 2000;

// The program the provider's updates are handed to, beside the client.
QString updaterPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/updater");
}

struct LinkItem
{
    QString name;
    QHash<QString, QString> parameters;
};

} // namespace

class CorePrivate
{
public:
    Core *q = nullptr;
    mutable QReadWriteLock lock; // guards the error reports
    bool busy = false;
    bool variablesRequested = false;
    // In construction order; the configuration reads the platform, the rest may read both.
    std::unique_ptr<PlatformManager> platformManager;
    SessionFeedback *feedback = nullptr;
    std::unique_ptr<Configuration> configuration;
    std::unique_ptr<Context> context;
    std::unique_ptr<LocaleManager> localeManager;
    std::unique_ptr<LogManagerFilter> logFilter;
    LogManager *logManager = nullptr; // child of Core
    std::unique_ptr<SecretStore> secretStore;
    std::unique_ptr<DatabaseManager> databaseManager;
    std::unique_ptr<DownloadManager> downloadManager;
    NetworkManager *networkManager = nullptr; // child of Core
    std::unique_ptr<VpnManager> vpnManager;
    VpnClient *vpnClient = nullptr; // child of Core
    bool updateAvailable = false;
    bool updateOptional = false;
    QString updateUrl;
    GeoIp originalIp;
    GeoIp vpnIp;
    bool geoIpMode = false;
    QTimer statusTimer;
    std::deque<LinkItem> linkQueue;
    VariablesRequest *variablesRequest = nullptr;
    AnonymousLoginRequest *anonymousLoginRequest = nullptr;
    LoginRequest *loginRequest = nullptr;
    StatusRequest *statusRequest = nullptr;
    GeoIpRequest *geoIpRequest = nullptr;
    UrlRequest *urlRequest = nullptr;
    std::deque<ErrorReport> errorReports;
    ErrorReportRequest *errorReportRequest = nullptr;
    QDateTime nextPaymentPrompt;
    bool prefsKnown = false; // the provider's variables arrived in this run
    // Connection statistics riding with requests not yet answered (the requests only
    // serve as keys), and those stored at quit that nobody else holds any more.
    QHash<const Request *, QList<ConnectionStat>> riding;
    QList<ConnectionStat> savedStats;

    void log(const QByteArray &line) const { logManager->addDataWithTimestamp(LogManager::GenericLevel, line); }

    template<typename R>
    R *send(R *request, void (Core::*finished)())
    {
        QObject::connect(request, &Request::requestFinished, q, finished);
        networkManager->addRequest(request);
        return request;
    }

    // What every request's header says about this client.
    void pushClientFacts()
    {
        ClientFacts facts;
        facts.language = localeManager->language();
        facts.country = localeManager->countryCode();
        const auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
        facts.devicePixelRatio = app ? app->devicePixelRatio() : 1.0;
        facts.debug = configuration->debug();
        facts.osName = PlatformManager::osName();
        facts.cpu = PlatformManager::processorInfo().name;
        facts.storedCredentials = configuration->credentials();
        networkManager->setClientFacts(facts);
    }

    void attachStatistics(Request *request)
    {
        const QList<ConnectionStat> stats = vpnClient->takeStats();
        request->setStats(stats);
        if (!stats.isEmpty())
            riding.insert(request, stats);
        request->setTrafficStats(vpnClient->trafficManager()->takeStats());
    }

    // Statistics of a request that did not reach the provider go with the next one.
    void returnStatistics(const Request *request)
    {
        riding.remove(request);
        vpnClient->addStats(request->stats());
        vpnClient->trafficManager()->addStats(request->trafficStats());
    }

    void statisticsDelivered(const Request *request)
    {
        if (riding.remove(request))
            keepStatistics();
    }

    // Until the provider's variables arrive, what an earlier run kept stays kept.
    bool keepsStatistics(const QString &variable) const
    {
        return !prefsKnown || context->boolVariable(variable, false);
    }

    // The database mirrors every connection statistic not yet delivered, so that a run
    // that ends without quitting (killed, crashed, the power gone) loses none. What
    // went out with a request and comes back as well is sent once more: the client
    // cannot tell whether the provider kept it.
    void keepStatistics()
    {
        QList<ConnectionStat> stats;
        if (keepsStatistics(VAR_STAT_ENABLED)) {
            stats = savedStats + vpnClient->stats();
            for (const QList<ConnectionStat> &rows : std::as_const(riding))
                stats += rows;
        }
        databaseManager->replaceStats(stats);
    }

    // Only what the answer held replaces what is known.
    void applyVariables(const VariablesRequest *request)
    {
        if (!request->hasUrls() && !request->hasStrings() && !request->hasPrefs())
            return;
        if (request->hasUrls())
            context->setLinks(request->urls());
        if (request->hasStrings())
            context->setTexts(request->strings());
        if (request->hasPrefs())
            mirrorPrefs(request->prefs());
        emit q->variablesUpdated();
    }

    void mirrorPrefs(const QHash<QString, QVariant> &prefs)
    {
        context->setVariables(prefs);
        prefsKnown = true;
        QSettings settings;
        const QString defaultProtocol = context->stringVariable(VAR_DEFAULT_PROTOCOL);
        if (!defaultProtocol.isEmpty())
            settings.setValue(QStringLiteral("default_protocol"), defaultProtocol);
        else
            settings.remove(QStringLiteral("default_protocol"));
        if (context->boolVariable(VAR_FORCE_DEFAULT_PROTOCOL, false))
            settings.setValue(QStringLiteral("force_default_protocol"), true);
        else
            settings.remove(QStringLiteral("force_default_protocol"));
        settings.sync();
    }

    void applyUpdate(const LoginRequest *request)
    {
        if (!request->isUpdateAvailable())
            return;
        updateAvailable = true;
        updateUrl = request->updateUrl();
        updateOptional = request->isUpdateOptional();
        q->tryPerformOnlineUpdate();
    }

    void applyStatus(const UserStatus &status)
    {
        context->setUserStatus(status);
        if (status.isVpnDisconnect()) {
            log("The provider asked to drop the VPN connection");
            vpnClient->disconnect();
        }
    }

    void startStatusTimer(int msecs)
    {
        if (statusTimer.isActive())
            statusTimer.setInterval(msecs);
        else
            statusTimer.start(msecs);
    }

    void handlePaymentNotification(const PaymentNotification &notification)
    {
        if (notification.isNull() || !feedback)
            return;
        const QDateTime now = QDateTime::currentDateTime();
        if (nextPaymentPrompt.isValid() && now < nextPaymentPrompt && !notification.isForced())
            return;
        if (feedback->offerPayment(notification))
            nextPaymentPrompt = notification.lockSecs() > 0 ? now.addSecs(notification.lockSecs()) : QDateTime();
    }

    void sendNextLink()
    {
        if (urlRequest || linkQueue.empty())
            return;
        const LinkItem item = linkQueue.front();
        linkQueue.pop_front();
        urlRequest = send(new UrlRequest(item.name, item.parameters), &Core::urlRequestFinished);
    }

};

Core::Core(QObject *parent)
    : QObject(parent)
    , d(new CorePrivate)
{
    d->q = this;
    d->platformManager = std::make_unique<PlatformManager>();
    d->configuration = std::make_unique<Configuration>();
    d->context = std::make_unique<Context>();
    d->localeManager = std::make_unique<LocaleManager>();
    d->logFilter = std::make_unique<LogManagerFilter>(d->context.get());
    d->logManager = new LogManager(d->logFilter.get(), this);
    d->secretStore = std::make_unique<SecretStore>(d->logManager);
    d->databaseManager = std::make_unique<DatabaseManager>(d->logManager);
    d->downloadManager = std::make_unique<DownloadManager>();
    d->networkManager = new NetworkManager(d->logManager, this);
    d->vpnManager = std::make_unique<VpnManager>(d->logManager, d->context.get(), d->networkManager,
                                                 d->databaseManager.get());
    d->vpnClient = new VpnClient(d->logManager, d->configuration.get(), d->context.get(), d->databaseManager.get(),
                                 d->vpnManager.get(), this);
    d->pushClientFacts();

    // The request header follows the language and the stored login.
    connect(d->configuration.get(), &Configuration::changed, this, [this] { d->pushClientFacts(); });
    connect(d->localeManager.get(), &LocaleManager::languageChanged, this, [this] { d->pushClientFacts(); });

    VpnManager *catalogue = d->vpnManager.get();
    connect(this, &Core::loggedIn, catalogue, &VpnManager::updateVpnServers);
    connect(d->localeManager.get(), &LocaleManager::languageChanged, catalogue, &VpnManager::updateVpnServers);
    connect(this, &Core::variablesUpdated, catalogue, &VpnManager::variablesUpdated);
    // The catalogue measures distances from here before auto-connect picks the nearest server.
    connect(this, &Core::originalIpChanged, catalogue, &VpnManager::setOriginalIp);
    connect(this, &Core::originalIpChanged, d->vpnClient, &VpnClient::setOriginalIp);

    connect(d->networkManager, &NetworkManager::authFailed, this, &Core::handleAuthFailure);
    connect(d->networkManager, &NetworkManager::unreachable, d->vpnClient, &VpnClient::reportConnectivityFailure);
    connect(d->vpnClient, &VpnClient::vpnConnectionStateChanged, this, &Core::vpnConnectionStateChanged);
    connect(d->vpnClient, &VpnClient::statsChanged, this, [this] { d->keepStatistics(); });
    // The log masks the host in use, an unreachable API marks that server's statistics
    // broken, and the catalogue pings nothing while a connection is in hand.
    connect(d->vpnClient, &VpnClient::currentServerChanged, this, [this](const VpnServer &server) {
        d->logFilter->setCurrentHost(server.host());
        d->networkManager->setActiveServerUid(server.uid());
        d->vpnManager->setTunnelActive(!server.isNull());
    });
    connect(d->platformManager.get(), &PlatformManager::powerSuspend, this, &Core::handlePowerSuspend);
    connect(d->localeManager.get(), &LocaleManager::languageChanged, this, qOverload<>(&Core::updateStatus));

    qRegisterMetaType<VpnConnection::State>("VpnConnection::State");

    connect(&d->statusTimer, &QTimer::timeout, this, qOverload<>(&Core::updateStatus));
}

Core::~Core()
{
    NetworkManager *network = d->networkManager;
    // No event loop runs after this: what is withdrawn goes now. A request already
    // out is the transport's to delete.
    const auto withdraw = [network](Request *request) {
        if (request && network->cancelRequest(request))
            delete request;
    };
    withdraw(d->variablesRequest);
    withdraw(d->anonymousLoginRequest);
    withdraw(d->loginRequest);
    withdraw(d->statusRequest);
    withdraw(d->geoIpRequest);
    withdraw(d->urlRequest);
    withdraw(d->errorReportRequest);
    // The catalogue holds requests of the transport, a child of this object.
    d->vpnManager.reset();
    // Children may log while they go: the log and its filter go last.
    const QObjectList kids = children();
    for (QObject *child : kids) {
        if (child != d->logManager)
            delete child;
    }
    delete d->logManager;
}

bool Core::initialize()
{
    QFile font(QStringLiteral(":/fonts/DroidSansMono.ttf"));
    if (font.exists() && font.open(QIODevice::ReadOnly))
        QFontDatabase::addApplicationFontFromData(font.readAll());

    d->localeManager->initialize();
    // Before the first request, which carries the stored login.
    d->configuration->useSecretStore(d->secretStore.get(), SecretStoreWaitMs);
    d->pushClientFacts();
    if (!PlatformManager::initializePlatform(d->logManager))
        return false;
    // A tunnel a killed run left behind would carry the traffic while the window
    // says disconnected, and hold the management port: end it before anything connects.
    d->vpnClient->openVpn()->endLeftoverTunnel();
    d->vpnClient->openVpn()->restoreDns();
    d->databaseManager->open();

    // Statistics an older version kept in the settings go out with the others.
    QList<ConnectionStat> stats;
    QSettings settings;
    const int count = settings.beginReadArray(QStringLiteral("s"));
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        ConnectionStat stat;
        stat.setServerUid(settings.value(QStringLiteral("suid")).toString());
        stat.setProtocol(Vpn::GetProtocol(settings.value(QStringLiteral("p")).toString()));
        stat.setStatus(settings.value(QStringLiteral("s")).toInt());
        stat.setTimestamp(settings.value(QStringLiteral("t")).toLongLong());
        stats.append(stat);
    }
    settings.endArray();
    settings.remove(QStringLiteral("s"));
    stats.append(d->databaseManager->takeStats());
    d->vpnClient->addStats(stats);
    if (!stats.isEmpty())
        d->keepStatistics();

    d->vpnManager->load();
    d->vpnClient->loadFailures();
    d->vpnClient->trafficManager()->addStats(d->databaseManager->takeTrafficStats());
    return true;
}

bool Core::isPlatformReady() const
{
    return d->platformManager && d->platformManager->isReady();
}

void Core::setSessionFeedback(SessionFeedback *feedback)
{
    d->feedback = feedback;
}

void Core::connectServerModel(VpnServerModel *model)
{
    VpnClient *client = d->vpnClient;
    connect(this, &Core::originalIpChanged, model, &VpnServerModel::setOriginalIp);
    connect(this, &Core::userStatusUpdated, model, &VpnServerModel::setUserStatus);
    connect(client, &VpnClient::currentServerChanged, model, &VpnServerModel::setCurrentServer);
    model->setCurrentServer(client->currentServer());
    model->setOriginalIp(d->originalIp);
    model->setUserStatus(d->context->userStatus());
}

void Core::setBusy(bool busy)
{
    d->busy = busy;
}

bool Core::isBusy() const
{
    return d->busy;
}

PlatformManager *Core::platformManager() const { return d->platformManager.get(); }
Configuration *Core::configuration() const { return d->configuration.get(); }
Context *Core::context() const { return d->context.get(); }
LocaleManager *Core::localeManager() const { return d->localeManager.get(); }
LogManager *Core::logManager() const { return d->logManager; }
DatabaseManager *Core::databaseManager() const { return d->databaseManager.get(); }
DownloadManager *Core::downloadManager() const { return d->downloadManager.get(); }
NetworkManager *Core::networkManager() const { return d->networkManager; }
VpnManager *Core::vpnManager() const { return d->vpnManager.get(); }
VpnClient *Core::vpnClient() const { return d->vpnClient; }
GeoIp Core::originalIp() const { return d->originalIp; }
GeoIp Core::vpnIp() const { return d->vpnIp; }

int Core::statusInterval() const
{
    return d->statusTimer.isActive() ? d->statusTimer.interval() : 0;
}

void Core::requestVariables()
{
    if (d->variablesRequested)
        return;
    d->variablesRequested = true;
    if (!d->variablesRequest)
        d->variablesRequest = d->send(new VariablesRequest, &Core::variablesRequestFinished);
}

void Core::variablesRequestFinished()
{
    VariablesRequest *request = std::exchange(d->variablesRequest, nullptr);
    if (!request)
        return;
    if (!request->isFailed())
        d->applyVariables(request);
    request->deleteLater();
}

void Core::login()
{
    if (!d->configuration->hasCredentials()) {
        if (d->anonymousLoginRequest)
            return;
        d->log("Anonymous Login request initiated");
        auto *request = new AnonymousLoginRequest;
        d->attachStatistics(request);
        d->anonymousLoginRequest = d->send(request, &Core::anonymousLoginRequestFinished);
        return;
    }
    if (d->loginRequest)
        return;
    d->log("Login request initiated");
    auto *request = new LoginRequest;
    d->attachStatistics(request);
    d->loginRequest = d->send(request, &Core::loginRequestFinished);
}

void Core::anonymousLoginRequestFinished()
{
    AnonymousLoginRequest *request = std::exchange(d->anonymousLoginRequest, nullptr);
    if (!request)
        return;
    if (request->isFailed()) {
        d->log("Anonymous login request failed");
        d->returnStatistics(request);
    } else {
        d->log("Anonymous login request succeeded");
        d->statisticsDelivered(request);
        d->applyUpdate(request);
        d->networkManager->setAddresses(request->addresses());
        d->geoIpMode = request->geoIpMode();
        emit loggedIn();
        if (request->isLoginDialogRequested())
            ensureLoggedIn();
        d->startStatusTimer(DefaultStatusIntervalMs);
    }
    request->deleteLater();
    updateGeoIp();
}

void Core::loginRequestFinished()
{
    LoginRequest *request = std::exchange(d->loginRequest, nullptr);
    if (!request)
        return;
    if (request->isFailed() || !request->isAuthenticated()) {
        d->log("Login request failed");
        d->returnStatistics(request);
        request->deleteLater();
        updateGeoIp();
        return;
    }
    d->log("Login request succeeded");
    d->statisticsDelivered(request);
    const UserStatus status = request->userStatus();
    if (!status.isNull())
        d->applyStatus(status);
    d->applyUpdate(request);
    d->networkManager->setAddresses(request->addresses());
    d->geoIpMode = request->geoIpMode();
    emit loggedIn();
    if (!status.isNull())
        emit userStatusUpdated(status);
    const int interval = status.isNull() || status.updateInterval() <= 0 ? DefaultStatusIntervalMs
                                                                         : status.updateInterval() * 1000;
    d->startStatusTimer(interval);
    d->handlePaymentNotification(status.paymentNotification());
    request->deleteLater();
    updateGeoIp();
}

void Core::updateStatus()
{
    updateStatus(false);
}

void Core::updateStatus(bool showAnimation)
{
    if (!d->configuration->hasCredentials())
        return;
    if (showAnimation)
        emit statusRefreshStarted();
    if (d->statusRequest)
        return;
    d->log("Status request initiated");
    auto *request = new StatusRequest;
    request->setIncludeVariables(true);
    d->attachStatistics(request);
    d->statusRequest = d->send(request, &Core::statusRequestFinished);
}

void Core::statusRequestFinished()
{
    StatusRequest *request = std::exchange(d->statusRequest, nullptr);
    if (!request)
        return;
    if (request->isFailed() || !request->isAuthenticated()) {
        d->log("Status request failed");
        d->returnStatistics(request);
    } else {
        d->log("Status request succeeded");
        d->statisticsDelivered(request);
        const UserStatus status = request->userStatus();
        if (!status.isNull()) {
            d->applyStatus(status);
            emit userStatusUpdated(status);
        }
        d->applyVariables(request);
        d->handlePaymentNotification(status.paymentNotification());
    }
    request->deleteLater();
}

void Core::updateGeoIp()
{
    const VpnConnection::State state = d->vpnClient->state();
    if (d->geoIpRequest || (state != VpnConnection::Disconnected && state != VpnConnection::Connected))
        return;
    d->log("GeoIP request initiated");
    auto *request = new GeoIpRequest;
    request->setGeoIpMode(d->geoIpMode);
    request->setConfiguration(d->vpnClient->currentConfiguration());
    request->setServer(d->vpnClient->currentServer());
    request->setState(int(state));
    request->setConnectionIndex(d->vpnClient->changeCounter());
    d->geoIpRequest = d->send(request, &Core::geoIpRequestFinished);
}

void Core::geoIpRequestFinished()
{
    GeoIpRequest *request = std::exchange(d->geoIpRequest, nullptr);
    if (!request)
        return;
    request->deleteLater();
    if (request->isFailed() || request->geoIp().isNull()) {
        d->log("GeoIP request failed");
        return;
    }
    const GeoIp geoIp = request->geoIp();
    d->log(QStringLiteral("GeoIp request finished: %1 (%2)").arg(geoIp.address(), geoIp.location()).toUtf8());
    if (request->connectionIndex() != d->vpnClient->changeCounter()) {
        d->log("Connection status changed during GeoIP request, restarting request ...");
        updateGeoIp();
        return;
    }
    if (!d->vpnClient->currentServer().isNull() && d->vpnClient->state() == VpnConnection::Connected) {
        d->vpnIp = geoIp;
        emit vpnIpChanged(d->vpnIp);
        return;
    }
    d->originalIp = geoIp;
    emit originalIpChanged(d->originalIp);
    if (!d->vpnIp.isNull()) {
        d->vpnIp = GeoIp();
        emit vpnIpChanged(d->vpnIp);
    }
}

void Core::vpnConnectionStateChanged(VpnConnection::State state)
{
    if (state == VpnConnection::Disconnected) {
        if (!d->vpnIp.isNull()) {
            d->vpnIp = GeoIp();
            emit vpnIpChanged(d->vpnIp);
        }
        QTimer::singleShot(GeoIpDelayMs, this, &Core::updateGeoIp);
    } else if (state == VpnConnection::Connected) {
        QTimer::singleShot(GeoIpDelayMs, this, &Core::updateGeoIp);
        if (d->updateAvailable)
            tryPerformOnlineUpdate();
    }
}

void Core::tryPerformOnlineUpdate()
{
    if (!d->updateAvailable)
        return;
    if (d->vpnClient->hasConnection() && d->vpnClient->state() != VpnConnection::Connected)
        return;
    d->updateAvailable = false;
    const QString updater = updaterPath();
    if (!QFile::exists(updater) || !d->feedback || !d->feedback->confirmUpdate())
        return;
    const QString argument = d->updateOptional ? QStringLiteral("/checknow") : QStringLiteral("/silentall");
    if (QProcess::startDetached(updater, {argument}))
        d->feedback->quit();
}

bool Core::ensureLoggedIn()
{
    if (d->configuration->isWizardCompleted())
        return true;
    if (!d->feedback)
        return false;
    d->busy = true;
    if (d->context->isValid() && !d->context->boolVariable(VAR_TRIAL_ENABLED, true)) {
        const bool accepted = d->feedback->askForLogin();
        if (accepted) {
            d->configuration->setWizardCompleted(true);
            d->configuration->setTrialUid(QString());
            login();
        }
        d->busy = false;
        return accepted;
    }
    const bool accepted = d->feedback->runWizard();
    d->busy = false;
    return accepted;
}

void Core::checkWizard()
{
    if (!d->feedback || d->configuration->isWizardCompleted() || d->configuration->trialUid().isEmpty())
        return;
    d->feedback->resumeWizard();
}

bool Core::hasServerContact()
{
    if (d->context->isValid())
        return true;
    if (d->feedback)
        d->feedback->showProviderUnreachable();
    return false;
}

void Core::handleAuthFailure()
{
    if (d->busy || !d->feedback)
        return;
    d->busy = true;
    const bool loggedIn = d->feedback->askForLogin();
    d->busy = false;
    if (loggedIn)
        login();
    else
        d->feedback->quit();
}

void Core::handlePowerSuspend(bool suspended)
{
    d->log(suspended ? "Power suspended" : "Power resumed");
}

void Core::openLink(const QString &name, const QHash<QString, QString> &parameters)
{
    QString key = name.toLower();
    if (key.startsWith(QLatin1Char('#')))
        key.remove(0, 1);
    if (key == QLatin1String("status-update")) {
        updateStatus(true);
        return;
    }
    d->linkQueue.push_back({key, parameters});
    d->sendNextLink();
}

void Core::urlRequestFinished()
{
    UrlRequest *request = std::exchange(d->urlRequest, nullptr);
    if (!request)
        return;
    if (!request->isFailed() && request->url().isValid())
        PlatformManager::openUrl(request->url());
    request->deleteLater();
    d->sendNextLink();
}

void Core::addErrorReport(const ErrorReport &report)
{
    {
        QWriteLocker locker(&d->lock);
        d->errorReports.push_back(report);
    }
    QTimer::singleShot(0, this, &Core::sendNextErrorReport);
}

QList<ErrorReportItem> Core::errorReportItems() const
{
    const QString general = QStringLiteral("Version: ") + QCoreApplication::applicationVersion()
        + QStringLiteral("\r\nPath: ") + QCoreApplication::applicationFilePath() + QStringLiteral("\r\nOS: ")
        + PlatformManager::osName() + QStringLiteral("\r\nCPU: ") + PlatformManager::processorInfo().name
        + QStringLiteral("\r\n");
    QList<ErrorReportItem> items{{QStringLiteral("General"), QStringLiteral("UTF-8"), general.toUtf8()}};
    const std::pair<LogManager::Level, const char *> sections[] = {
        {LogManager::GenericLevel, "Generic"}, {LogManager::OpenVpnLevel, "OpenVPN"}, {LogManager::RasLevel, "RAS"}};
    for (const auto &[level, name] : sections) {
        const QByteArray data = d->logManager->data(level);
        if (data.isNull())
            continue;
        const QString encoding = level == LogManager::OpenVpnLevel ? QStringLiteral("ISO-8859-1") : QStringLiteral("UTF-8");
        items.append(ErrorReportItem(QString::fromLatin1(name), encoding, data));
    }
    return items;
}

int Core::pendingErrorReports() const
{
    QReadLocker locker(&d->lock);
    return int(d->errorReports.size()) + (d->errorReportRequest ? 1 : 0);
}

void Core::sendNextErrorReport()
{
    QWriteLocker locker(&d->lock);
    if (d->errorReportRequest || d->errorReports.empty())
        return;
    auto *request = new ErrorReportRequest;
    request->setReport(d->errorReports.front());
    d->errorReports.pop_front();
    d->errorReportRequest = request;
    locker.unlock();
    d->send(request, &Core::errorReportRequestFinished);
}

void Core::errorReportRequestFinished()
{
    {
        QWriteLocker locker(&d->lock);
        ErrorReportRequest *request = std::exchange(d->errorReportRequest, nullptr);
        if (!request)
            return;
        if (request->isFailed())
            d->errorReports.push_front(request->report());
        request->deleteLater();
    }
    // A failed report waits a little, so an unreachable provider is not hammered.
    QTimer::singleShot(d->errorReports.empty() ? 0 : 5000, this, &Core::sendNextErrorReport);
}

void Core::saveStatistics()
{
    QList<ConnectionStat> stats;
    QList<TrafficStat> traffic;
    const auto withdraw = [this, &stats, &traffic](auto *&request) {
        if (!request)
            return;
        if (d->networkManager->cancelRequest(request)) {
            stats.append(request->stats());
            traffic.append(request->trafficStats());
            d->riding.remove(request);
            // At quit no event loop runs any more to delete it later.
            delete request;
            request = nullptr;
        } else if (!request->isSent()) {
            stats.append(request->stats());
            traffic.append(request->trafficStats());
        }
    };
    withdraw(d->anonymousLoginRequest);
    withdraw(d->loginRequest);
    withdraw(d->statusRequest);
    stats.append(d->vpnClient->takeStats());
    traffic.append(d->vpnClient->trafficManager()->takeStats());
    // What rode with a request still out is in `stats` or was sent: its answer decides.
    d->riding.clear();
    if (d->keepsStatistics(VAR_STAT_ENABLED))
        d->savedStats += stats;
    else
        d->savedStats.clear();
    d->keepStatistics();
    if (d->keepsStatistics(VAR_TSTAT_ENABLED) && !traffic.isEmpty())
        d->databaseManager->addTrafficStats(traffic);
}

void Core::shutdown()
{
    d->vpnClient->saveFailures();
    PlatformManager::cleanupPlatform();
}
