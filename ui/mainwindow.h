#pragma once

#include "connectionfeedback.h"

#include <QMainWindow>
#include <QPointer>

class Core;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSessionManager;
class QTableView;
class SessionDialogs;
class TapInstallDialog;
class VpnServerFilterModel;
class VpnServerModel;

// The main window: state and public address, the server list and the connect
// button. It tells the user what the connection engine and the session report.
class MainWindow : public QMainWindow, public ConnectionFeedback
{
    Q_OBJECT

public:
    explicit MainWindow(Core *core);
    ~MainWindow() override;

    void showConnectionError(const VpnServer &server, const VpnConfiguration &configuration, const QString &message,
                             const std::function<void()> &closed) override;
    void showVpnFailure(Vpn::Protocol protocol) override;
    void setUpTunDevice(const std::function<void(bool success)> &finished) override;

public slots:
    // Another start of the program asked for this window.
    void messageReceived(const QString &message);
    void commitDataRequest(QSessionManager &manager);
    // Ends the program: statistics are kept and the tunnel is closed first.
    void quit();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void updateState();
    void updateAddress();
    void connectSelected();

    Core *core;
    QLabel *status;
    QLabel *address;
    QLineEdit *search;
    QTableView *servers;
    QComboBox *protocol;
    QPushButton *connectButton;
    QAction *quitAction;
    VpnServerModel *model;
    VpnServerFilterModel *proxy;
    SessionDialogs *dialogs;
    QPointer<TapInstallDialog> tapInstallDialog;
    bool sessionStarted = false;
    bool quitting = false;
};
