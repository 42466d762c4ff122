#include "mainwindow.h"

#include "configuration.h"
#include "core.h"
#include "logmanager.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QSessionManager>
#include <QTimer>

MainWindow::MainWindow(Core *core)
    : core(core)
    , status(new QLabel(this))
    , quitAction(new QAction(this))
{
    core->setMainWindow(this);
    status->setAlignment(Qt::AlignCenter);
    setCentralWidget(status);
    quitAction->setShortcut(QKeySequence::Quit);
    connect(quitAction, &QAction::triggered, this, &MainWindow::quit);
    menuBar()->addMenu(QString())->addAction(quitAction);
    resize(400, 600);
    retranslate();
}

void MainWindow::retranslate()
{
    setWindowTitle(tr("Noxel"));
    status->setText(tr("Not connected"));
    menuBar()->actions().constFirst()->setText(tr("&File"));
    quitAction->setText(tr("&Quit"));
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QMainWindow::changeEvent(event);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (sessionStarted)
        return;
    sessionStarted = true;
    // The session starts once the window is up: variables, login, then the wizard.
    QTimer::singleShot(0, core, [this] {
        core->requestVariables();
        core->login();
        core->checkWizard();
    });
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!quitting && core->configuration()->closeToTray()) {
        hide();
        event->ignore();
        return;
    }
    event->accept();
    quit();
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
    // The desktop session ends: keep what the next start needs.
    core->saveStatistics();
    manager.release();
}

void MainWindow::quit()
{
    if (quitting)
        return;
    quitting = true;
    core->saveStatistics();
    core->shutdown();
    close();
    QApplication::quit();
}
