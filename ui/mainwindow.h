#pragma once

#include <QMainWindow>

class Core;
class QLabel;
class QSessionManager;

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

    Core *core;
    QLabel *status;
    QAction *quitAction;
    bool sessionStarted = false;
    bool quitting = false;
};
