#pragma once

#include "credentials.h"

#include <QObject>
#include <QString>

#include <memory>

class ConfigurationPrivate;
class SecretStore;

// Typed, cached and thread-safe front of the user's preferences. A value set back
// to its default is removed from the store, so the store only holds what differs.
// The settings file holds the login, so only its owner may read it; where the
// desktop has a secret store, the password goes there instead.
class Configuration : public QObject
{
    Q_OBJECT

public:
    // What auto-connect connects to at start.
    enum AutoConnectType {
        AutoConnectNone = 0,
        AutoConnectSpecific = 1,
        AutoConnectLast = 2,
        AutoConnectBestPing = 3,
        AutoConnectNearest = 4,
    };

    Configuration();
    ~Configuration() override;

    bool debug() const;
    QString uuid() const;
    bool isWizardCompleted() const;
    bool saveCredentials() const;
    QString username() const;
    QString password() const;
    bool hasCredentials() const;
    // The stored login; null unless both user name and password are there.
    Credentials credentials() const;
    QString trialUid() const;
    bool autoStart() const;
    bool offerAlternative() const;
    bool speedBits() const;
    bool autoConnect() const;
    int autoConnectType() const;
    QString autoConnectServerUid() const;
    bool showIndicator() const;
    bool minimizeToTray() const;
    bool closeToTray() const;
    QString lastProtocol() const;

    void setWizardCompleted(bool completed);
    void setSaveCredentials(bool save);
    void setCredentials(const QString &username, const QString &password);
    void setTrialUid(const QString &uid);
    void setAutoStart(bool autoStart);
    void setOfferAlternative(bool offer);
    void setSpeedBits(bool bits);
    void setAutoConnect(bool autoConnect);
    void setAutoConnectType(int type);
    void setAutoConnectServerUid(const QString &uid);
    void setShowIndicator(bool show);
    void setMinimizeToTray(bool minimize);
    void setCloseToTray(bool close);
    void setLastProtocol(const QString &protocol);

    // Keeps the password in the desktop's secret store from now on: takes it from
    // there, or moves the settings file's there (the file's wins: an older version
    // wrote it). Waits at most msecs for the store (0: not at all); an answer that
    // comes later still counts. False while the settings file keeps the password.
    // On the thread that owns this object and the store.
    bool useSecretStore(SecretStore *store, int msecs);

    // Brackets a series of setters so that changed() is emitted once at the end.
    void beginUpdate();
    void endUpdate();

signals:
    void changed();

private:
    void notify();

    std::unique_ptr<ConfigurationPrivate> d;
};
