#include "mainwindow.h"

#include "core.h"
#include "logmanager.h"

#include <QLabel>
#include <QSessionManager>

MainWindow::MainWindow(Core *core)
    : core(core)
{
    setWindowTitle(tr("Noxel"));
    auto *label = new QLabel(tr("Not connected"), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
    resize(400, 600);
}

void MainWindow::messageReceived(const QString &)
{
    core->logManager()->addDataWithTimestamp(LogManager::GenericLevel, "Another start of the program asked for the window");
    if (isMinimized())
        setWindowFlags(Qt::Window);
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::commitDataRequest(QSessionManager &manager)
{
    // Nothing to ask the user: the session may end at any time.
    manager.release();
}
