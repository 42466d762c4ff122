#include "core.h"

#include "configuration.h"
#include "databasemanager.h"
#include "context.h"
#include "localemanager.h"
#include "logmanager.h"
#include "networkmanager.h"
#include "platformmanager.h"
#include "vpnclient.h"
#include "vpnconnection.h"
#include "vpnmanager.h"

#include <QPointer>
#include <QWidget>

class CorePrivate
{
public:
    // In construction order; the configuration reads the platform, the rest may read both.
    std::unique_ptr<PlatformManager> platformManager;
    std::unique_ptr<Configuration> configuration;
    std::unique_ptr<Context> context;
    std::unique_ptr<LocaleManager> localeManager;
    LogManager *logManager = nullptr; // child of Core
    std::unique_ptr<DatabaseManager> databaseManager;
    NetworkManager *networkManager = nullptr; // child of Core
    std::unique_ptr<VpnManager> vpnManager;
    VpnClient *vpnClient = nullptr; // child of Core
    GeoIp originalIp;
    QPointer<QWidget> mainWindow;
};

Core::Core(QObject *parent)
    : QObject(parent)
    , d(new CorePrivate)
{
    d->platformManager = std::make_unique<PlatformManager>(this);
    d->configuration = std::make_unique<Configuration>();
    d->context = std::make_unique<Context>();
    d->localeManager = std::make_unique<LocaleManager>();
    d->logManager = new LogManager(nullptr, this);
    d->databaseManager = std::make_unique<DatabaseManager>(this);
    d->networkManager = new NetworkManager(this);
    d->vpnManager = std::make_unique<VpnManager>(this);
    d->vpnClient = new VpnClient(this, d->vpnManager.get());

    qRegisterMetaType<VpnConnection::State>("VpnConnection::State");
}

Core::~Core()
{
    // The catalogue holds requests of the transport, a child of this object.
    d->vpnManager.reset();
}

bool Core::initialize()
{
    d->localeManager->initialize();
    if (!PlatformManager::initializePlatform(d->logManager))
        return false;
    d->databaseManager->open();
    d->vpnManager->load();
    return true;
}

void Core::setMainWindow(QWidget *window)
{
    d->mainWindow = window;
}

QWidget *Core::mainWindow() const
{
    return d->mainWindow;
}

bool Core::isPlatformReady() const
{
    return d->platformManager && d->platformManager->isReady();
}

void Core::shutdown()
{
    PlatformManager::cleanupPlatform();
}

PlatformManager *Core::platformManager() const { return d->platformManager.get(); }
Configuration *Core::configuration() const { return d->configuration.get(); }
Context *Core::context() const { return d->context.get(); }
LocaleManager *Core::localeManager() const { return d->localeManager.get(); }
LogManager *Core::logManager() const { return d->logManager; }
DatabaseManager *Core::databaseManager() const { return d->databaseManager.get(); }
NetworkManager *Core::networkManager() const { return d->networkManager; }
VpnManager *Core::vpnManager() const { return d->vpnManager.get(); }
VpnClient *Core::vpnClient() const { return d->vpnClient; }
GeoIp Core::originalIp() const { return d->originalIp; }
