#pragma once

#include <QObject>

#include <memory>

class Configuration;
class Context;
class CorePrivate;
class LocaleManager;
class LogManager;
class NetworkManager;
class PlatformManager;
class VpnClient;

// The application's controller: creates and owns every long-lived object.
class Core : public QObject
{
    Q_OBJECT

public:
    explicit Core(QObject *parent = nullptr);
    ~Core() override;

    bool initialize();
    bool isPlatformReady() const;
    void shutdown();

    PlatformManager *platformManager() const;
    Configuration *configuration() const;
    Context *context() const;
    LocaleManager *localeManager() const;
    LogManager *logManager() const;
    NetworkManager *networkManager() const;
    VpnClient *vpnClient() const;

private:
    std::unique_ptr<CorePrivate> d;
};
