#pragma once

#include "errorreport.h"
#include "geoip.h"
#include "userstatus.h"
#include "vpnconnection.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <memory>

class Configuration;
class Context;
class CorePrivate;
class DatabaseManager;
class DownloadManager;
class LocaleManager;
class LogManager;
class NetworkManager;
class PlatformManager;
class SessionFeedback;
class VpnClient;
class VpnManager;
class VpnServerModel;

// The application's controller: creates and owns every long-lived object, and
// runs the session with the provider: logins, the account status, variables,
// geo-IP before and after connecting, links, error reports and update offers.
class Core : public QObject
{
    Q_OBJECT

public:
    explicit Core(QObject *parent = nullptr);
    ~Core() override;

    bool initialize();
    bool isPlatformReady() const;
    // How the session asks and tells the user; null until the main window exists.
    void setSessionFeedback(SessionFeedback *feedback);
    // Keeps a server table up to date with the account, the user's own location and
    // the server in use.
    void connectServerModel(VpnServerModel *model);
    // A login dialog or the wizard is open.
    void setBusy(bool busy);
    bool isBusy() const;

    PlatformManager *platformManager() const;
    Configuration *configuration() const;
    Context *context() const;
    LocaleManager *localeManager() const;
    LogManager *logManager() const;
    DatabaseManager *databaseManager() const;
    DownloadManager *downloadManager() const;
    NetworkManager *networkManager() const;
    VpnManager *vpnManager() const;
    VpnClient *vpnClient() const;

    // Where the user is without the VPN, as the provider last saw it; null until known.
    GeoIp originalIp() const;
    // The public address through the VPN; null while not connected.
    GeoIp vpnIp() const;

    // Milliseconds between two account status requests; 0 while none are due.
    int statusInterval() const;

    // Once per run: the provider's variables, texts and links.
    void requestVariables();
    // True when the account is set up, asking the user for it when it is not.
    bool ensureLoggedIn();
    // The provider has answered at least once; tells the user otherwise.
    bool hasServerContact();
    void openLink(const QString &name, const QHash<QString, QString> &parameters = {});
    // Queues the report; reports are retried until the provider takes them.
    void addErrorReport(const ErrorReport &report);
    // What every error report carries, so the provider reads them alike: the program
    // and the machine, then each log that holds anything.
    QList<ErrorReportItem> errorReportItems() const;
    int pendingErrorReports() const;

    // Keeps undelivered statistics for the next run, as the provider allows.
    void saveStatistics();
    void shutdown();

public slots:
    void login();
    void checkWizard();
    void updateGeoIp();
    void updateStatus(bool showAnimation);
    void updateStatus();
    void tryPerformOnlineUpdate();

signals:
    void variablesUpdated();
    void loggedIn();
    void userStatusUpdated(const UserStatus &status);
    void originalIpChanged(const GeoIp &geoIp);
    void vpnIpChanged(const GeoIp &geoIp);
    // The main window shows that the account status is being refreshed.
    void statusRefreshStarted();

private slots:
    void vpnConnectionStateChanged(VpnConnection::State state);
    void variablesRequestFinished();
    void loginRequestFinished();
    void anonymousLoginRequestFinished();
    void statusRequestFinished();
    void geoIpRequestFinished();
    void urlRequestFinished();
    void handlePowerSuspend(bool suspended);
    void handleAuthFailure();
    void sendNextErrorReport();
    void errorReportRequestFinished();

private:
    friend class CorePrivate;
    std::unique_ptr<CorePrivate> d;
};
