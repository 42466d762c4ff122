#pragma once

#include <QMainWindow>

class Core;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSessionManager;
class QTableView;
class VpnServerFilterModel;
class VpnServerModel;

// The main window: state and public address, the server list and the connect button.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(Core *core);

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
    bool sessionStarted = false;
    bool quitting = false;
};
