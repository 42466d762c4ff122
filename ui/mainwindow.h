#pragma once

#include <QMainWindow>

class Core;
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

private:
    Core *core;
};
