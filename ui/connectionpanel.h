#pragma once

#include "userstatus.h"
#include "vpnconnection.h"
#include "vpnserver.h"

#include <QWidget>

#include <memory>

class ConnectionPanelPrivate;
class Core;
class QModelIndex;

// The first tab: the server list with its search, the protocol choice, the live
// traffic figures and the buttons that connect. Every road to a connection goes
// through the same checks: a server, contact with the provider, an account that
// is set up and may connect, and the offer of a less loaded server.
class ConnectionPanel : public QWidget
{
    Q_OBJECT

public:
    explicit ConnectionPanel(Core *core, QWidget *parent = nullptr);
    ~ConnectionPanel() override;

signals:
    // Asks the main window to show this tab.
    void showMe();

public slots:
    void refreshVpnServers();
    void vpnServersRefreshed();
    void connectButtonClicked();
    void connectToBestServer();
    // The server of the current row.
    void connectToServer();
    void connectToServer(const VpnServer &server);
    void loggedIn();
    void userStatusUpdated(const UserStatus &status);
    void vpnConnectionStateChanged(VpnConnection::State state);
    void updateSelectedProtocol();
    void updateConnectionTime();

private slots:
    void protocolChanged();
    void doubleClicked(const QModelIndex &index);
    void selectionChanged();
    void showContextMenu(const QPoint &point);
    void filter();
    void setAutoConnectServer();
    void showServerDetails();
    void setupColumnSizing();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<ConnectionPanelPrivate> d;
};
