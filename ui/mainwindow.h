#pragma once

#include "connectionfeedback.h"
#include "message.h"
#include "userstatus.h"

#include <QMainWindow>
#include <QSystemTrayIcon>

#include <memory>

class Core;
class MainWindowPrivate;
class QSessionManager;

// The program's window: the head panel, the message bar and the tabs, with the
// tray icon beside it. It decides what closing and minimising mean (quit, go to
// the tray, or warn first) and runs the quit path, and it tells the user what the
// connection engine reports.
class MainWindow : public QMainWindow, public ConnectionFeedback
{
    Q_OBJECT

public:
    // How long the quit path waits for the tunnel to close before it ends the
    // programs of the connection itself.
    static constexpr int DisconnectWaitMs = 10000;

    explicit MainWindow(Core *core);
    ~MainWindow() override;

    void showConnectionError(const VpnServer &server, const VpnConfiguration &configuration, const QString &message,
                             const std::function<void()> &closed) override;
    void showVpnFailure(Vpn::Protocol protocol) override;
    void setUpTunDevice(const std::function<void(bool success)> &finished) override;

    // Whether closing and minimising may hide the window in the tray: only where the
    // desktop shows tray icons, else nobody could bring the window back.
    static bool hasSystemTray();

signals:
    void sizeChanged();
    // The quit path has ended: statistics are kept and the tunnel is closed.
    void finished();

public slots:
    void commitDataRequest(QSessionManager &manager);
    void showMessage(const Message &message);
    void hideMessage();
    // Ends the program through the quit path.
    void quit();
    // Another start of the program asked for this window.
    void messageReceived(const QString &fileName);
    void showConnection();
    void showPreferences();
    void showLog();
    void showMyAccount();
    void showHelp();
    void showDebug();
    void showStatusUpdateAnimation();
    void showVpnFailureDialog(Vpn::Protocol protocol);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void afterInitialization();
    void userStatusUpdated(const UserStatus &status);
    void configurationChanged();
    void trayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void updateTrayIcon();

private:
    void retranslate();
    void restore(bool raise);
    void shutdown();

    std::unique_ptr<MainWindowPrivate> d;
};
