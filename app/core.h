#pragma once

#include "geoip.h"
#include "userstatus.h"

#include <QObject>

#include <memory>

class Configuration;
class Context;
class CorePrivate;
class DatabaseManager;
class LocaleManager;
class LogManager;
class NetworkManager;
class PlatformManager;
class VpnClient;
class VpnManager;
class QWidget;

// The application's controller: creates and owns every long-lived object.
class Core : public QObject
{
    Q_OBJECT

public:
    explicit Core(QObject *parent = nullptr);
    ~Core() override;

    bool initialize();
    // The main window, parent of the dialogs the session opens; null until it exists.
    void setMainWindow(QWidget *window);
    QWidget *mainWindow() const;
    bool isPlatformReady() const;
    void shutdown();

    PlatformManager *platformManager() const;
    Configuration *configuration() const;
    Context *context() const;
    LocaleManager *localeManager() const;
    LogManager *logManager() const;
    DatabaseManager *databaseManager() const;
    NetworkManager *networkManager() const;
    VpnManager *vpnManager() const;
    VpnClient *vpnClient() const;

    // Where the user is without the VPN, as the provider last saw it; null until known.
    GeoIp originalIp() const;

signals:
    void variablesUpdated();
    void loggedIn();
    void userStatusUpdated(const UserStatus &status);
    void originalIpChanged(const GeoIp &geoIp);
    void vpnIpChanged(const GeoIp &geoIp);

private:
    std::unique_ptr<CorePrivate> d;
};
