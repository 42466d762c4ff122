#include "mainwindow.h"

#include "animationwidget.h"
#include "animationwidgetwrapper.h"
#include "configuration.h"
#include "connectionerrordialog.h"
#include "connectionpanel.h"
#include "core.h"
#include "debugpanel.h"
#include "fancytabwidget.h"
#include "headpanel.h"
#include "helppanel.h"
#include "hidpi.h"
#include "logmanager.h"
#include "logpanel.h"
#include "messagewidget.h"
#include "myaccountpanel.h"
#include "platformmanager.h"
#include "preferencespanel.h"
#include "sessiondialogs.h"
#include "statuswindow.h"
#include "tapinstalldialog.h"
#include "userpanel.h"
#include "vpnclient.h"
#include "vpnfailuredialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QSessionManager>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString KeyGeometry = QStringLiteral("geometry");
const QString KeyState = QStringLiteral("state");
const QString KeyTrayMessageCounter = QStringLiteral("tray_message_counter");
constexpr int StateVersion = 1;
constexpr int BalloonMs = 10000;
constexpr int BalloonsEver = 2;

// The tabs in their order; the debug tab is added last, when first asked for.
constexpr int ConnectionTab = 0;
constexpr int PreferencesTab = 1;
constexpr int LogTab = 2;
constexpr int MyAccountTab = 3;
constexpr int HelpTab = 4;

QIcon applicationIcon(const QList<int> &sizes, bool colour)
{
    QIcon icon;
    for (const int size : sizes) {
        const QString file = QStringLiteral(":/images/app/%1_app.png").arg(size);
        icon.addPixmap(colour ? QPixmap(file) : mDesaturate(file, 1.0f));
    }
    return icon;
}

QIcon tabIcon(const QString &name)
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64})
        icon.addFile(QStringLiteral(":/images/toolbar/%1x%1_%2.png").arg(size).arg(name));
    return icon;
}

} // namespace

class MainWindowPrivate
{
public:
    Core *core = nullptr;
    // Set by quit() and the session's end: the next close is a real quit.
    bool quitting = false;
    bool shutDown = false;
    HeadPanel *headPanel = nullptr;
    MessageWidget *messageBar = nullptr;
    FancyTabWidget *tabs = nullptr;
    QMenu *trayMenu = nullptr;
    QAction *showAction = nullptr;
    QAction *quitAction = nullptr;
    QSystemTrayIcon *trayIcon = nullptr;
    bool blinkPhase = false;
    QTimer *blinkTimer = nullptr;
    QIcon connectedIcon;
    QIcon disconnectedIcon;
    ConnectionPanel *connectionPanel = nullptr;
    PreferencesPanel *preferencesPanel = nullptr;
    LogPanel *logPanel = nullptr;
    UserPanel *userPanel = nullptr;
    HelpPanel *helpPanel = nullptr;
    DebugPanel *debugPanel = nullptr;
    int debugTab = -1;
    // Parent of the status window, so that it has no task-bar entry of its own.
    QWidget *statusWindowHost = nullptr;
    QPointer<StatusWindow> statusWindow;
    AnimationWidgetWrapper *updateAnimation = nullptr;
    bool failureDialogShown = false;
    QAction *debugAction = nullptr;
    SessionDialogs *dialogs = nullptr;
    QPointer<TapInstallDialog> tapInstallDialog;
};

MainWindow::MainWindow(Core *core)
    : d(new MainWindowPrivate)
{
    d->core = core;
    d->headPanel = new HeadPanel(core, this);
    d->headPanel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    d->messageBar = new MessageWidget(core, this);
    d->messageBar->setIconVisible(true);
    d->messageBar->setBorderWidths(0, 0, 0, 1);
    d->messageBar->setVisible(false);

    d->debugAction = new QAction(this);
    d->debugAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D, Qt::CTRL | Qt::Key_B, Qt::CTRL | Qt::Key_G));
    d->debugAction->setShortcutContext(Qt::WindowShortcut);
    addAction(d->debugAction);
    d->showAction = new QAction(this);
    connect(d->showAction, &QAction::triggered, this, [this] { restore(true); });
    d->quitAction = new QAction(this);
    d->quitAction->setMenuRole(QAction::QuitRole);
    connect(d->quitAction, &QAction::triggered, this, &MainWindow::quit);

    d->connectionPanel = new ConnectionPanel(core, this);
    connect(d->connectionPanel, &ConnectionPanel::showMe, this, &MainWindow::showConnection);
    d->preferencesPanel = new PreferencesPanel(core, this);
    d->logPanel = new LogPanel(core, this);
    d->userPanel = new UserPanel(core, new MyAccountPanel(core, this), this);
    d->helpPanel = new HelpPanel(core, this);

    d->tabs = new FancyTabWidget(this);
    d->updateAnimation = new AnimationWidgetWrapper(Qt::Horizontal, this);
    d->updateAnimation->animation()->setImage(mHiDpiFactor() > 1.0 ? QStringLiteral(":/animations/status_update@2x.png")
                                                                   : QStringLiteral(":/animations/status_update.png"),
                                              10, 1.0, 480, 48);
    d->updateAnimation->setTextColor(Qt::white);
    d->updateAnimation->setContentsMargins(0, mHiDpiSize(5), 0, mHiDpiSize(5));
    d->tabs->addCornerWidget(d->updateAnimation);
    d->updateAnimation->animation()->stop();
    d->updateAnimation->setVisible(false);
    d->tabs->insertTab(ConnectionTab, d->connectionPanel, tabIcon(QStringLiteral("connection")), QString());
    d->tabs->insertTab(PreferencesTab, d->preferencesPanel, tabIcon(QStringLiteral("preferences")), QString());
    d->tabs->insertTab(LogTab, d->logPanel, tabIcon(QStringLiteral("log")), QString());
    d->tabs->insertTab(MyAccountTab, d->userPanel, tabIcon(QStringLiteral("my_account")), QString());
    d->tabs->insertTab(HelpTab, d->helpPanel, tabIcon(QStringLiteral("help")), QString());
    for (const int tab : {ConnectionTab, PreferencesTab, LogTab, MyAccountTab, HelpTab})
        d->tabs->setTabEnabled(tab, true);

    d->connectedIcon = applicationIcon({16, 20, 24, 32}, true);
    d->disconnectedIcon = applicationIcon({16, 20, 24, 32}, false);
    d->blinkTimer = new QTimer(this);
    d->blinkTimer->setInterval(1000);
    connect(d->blinkTimer, &QTimer::timeout, this, &MainWindow::updateTrayIcon);
    connect(core->vpnClient(), &VpnClient::vpnConnectionStateChanged, this, &MainWindow::updateTrayIcon);
    d->trayMenu = new QMenu(this);
    d->trayMenu->addAction(d->showAction);
    d->trayMenu->addAction(d->quitAction);
    d->trayIcon = new QSystemTrayIcon(d->disconnectedIcon, this);
    d->trayIcon->setContextMenu(d->trayMenu);
    connect(d->trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::trayIconActivated);

    setWindowIcon(applicationIcon({16, 20, 24, 32, 48, 64}, true));
    d->tabs->setCurrentIndex(ConnectionTab);
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(d->headPanel);
    layout->addWidget(d->messageBar);
    layout->addWidget(d->tabs, 1);
    setCentralWidget(central);

    resize(mHiDpiSize(880, 545));
    retranslate();
    const QSettings settings;
    const QByteArray geometry = settings.value(KeyGeometry).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    const QByteArray state = settings.value(KeyState).toByteArray();
    if (!state.isEmpty())
        restoreState(state, StateVersion);

    d->statusWindowHost = new QWidget;
    d->statusWindowHost->setAttribute(Qt::WA_DeleteOnClose);
    d->statusWindow = new StatusWindow(core, d->statusWindowHost);
    d->statusWindow->setAttribute(Qt::WA_DeleteOnClose);

    d->dialogs = new SessionDialogs(core, this);
    connect(d->dialogs, &SessionDialogs::quitRequested, this, &MainWindow::quit);
    core->setSessionFeedback(d->dialogs);
    core->vpnClient()->setFeedback(this);
    connect(core, &Core::userStatusUpdated, this, &MainWindow::userStatusUpdated);
    connect(core, &Core::statusRefreshStarted, this, &MainWindow::showStatusUpdateAnimation);
    connect(core->configuration(), &Configuration::changed, this, &MainWindow::configurationChanged);
    connect(core->platformManager(), &PlatformManager::systemShutdown, this, &MainWindow::quit);
    connect(d->headPanel, &HeadPanel::connectButtonClicked, d->connectionPanel, &ConnectionPanel::connectButtonClicked);
    connect(d->debugAction, &QAction::triggered, this, &MainWindow::showDebug);

    // The session's first requests go out as soon as the event loop runs: they wait on
    // the network, not on the window. The rest waits until the window is up.
    QTimer::singleShot(0, core, [core] {
        core->requestVariables();
        core->login();
    });
    QTimer::singleShot(100, this, &MainWindow::afterInitialization);
}

MainWindow::~MainWindow()
{
    // The core outlives the window.
    d->core->setSessionFeedback(nullptr);
    d->core->vpnClient()->setFeedback(nullptr);
    if (d->statusWindowHost)
        delete d->statusWindowHost;
}

bool MainWindow::hasSystemTray()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::retranslate()
{
    setWindowTitle(QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion()));
    d->tabs->setTabText(ConnectionTab, tr("Connection"));
    d->tabs->setTabText(PreferencesTab, tr("Preferences"));
    d->tabs->setTabText(LogTab, tr("Log"));
    d->tabs->setTabText(MyAccountTab, tr("My Account"));
    d->tabs->setTabText(HelpTab, tr("Help"));
    if (d->debugPanel)
        d->tabs->setTabText(d->debugTab, tr("Debug"));
    d->updateAnimation->setText(tr("Updating ..."));
    d->showAction->setText(tr("Show Main Window"));
    d->quitAction->setText(tr("Quit"));
}

void MainWindow::afterInitialization()
{
    configurationChanged();
    raise();
    activateWindow();
    // Variables and the login are on their way (see the constructor); the wizard now.
    d->core->checkWizard();
    // Where the desktop has no tray, Qt's tray icon would only complain.
    QTimer::singleShot(0, this, [this] {
        if (!d->shutDown && hasSystemTray())
            d->trayIcon->show();
    });
}

void MainWindow::configurationChanged()
{
    if (!d->statusWindow)
        return;
    const bool wanted = d->core->configuration()->showIndicator();
    if (wanted == d->statusWindow->isVisible())
        return;
    if (wanted) {
        d->statusWindow->show();
        d->statusWindow->restorePosition();
    } else {
        d->statusWindow->savePosition();
        d->statusWindow->hide();
    }
}

void MainWindow::userStatusUpdated(const UserStatus &status)
{
    d->updateAnimation->animation()->stop();
    d->updateAnimation->setVisible(false);
    if (!status.isNull() && !status.message().isNull() && !status.message().text().isEmpty())
        showMessage(status.message());
    else
        hideMessage();
}

void MainWindow::showMessage(const Message &message)
{
    d->messageBar->setMessage(message);
    d->messageBar->setVisible(true);
}

void MainWindow::hideMessage()
{
    d->messageBar->setVisible(false);
}

void MainWindow::showConnection()
{
    d->tabs->setCurrentIndex(ConnectionTab);
}

void MainWindow::showPreferences()
{
    d->tabs->setCurrentIndex(PreferencesTab);
}

void MainWindow::showLog()
{
    d->tabs->setCurrentIndex(LogTab);
}

void MainWindow::showMyAccount()
{
    d->tabs->setCurrentIndex(MyAccountTab);
}

void MainWindow::showHelp()
{
    d->tabs->setCurrentIndex(HelpTab);
}

void MainWindow::showDebug()
{
    if (!d->debugPanel) {
        d->debugPanel = new DebugPanel(d->core, this);
        d->debugTab = d->tabs->count();
        d->tabs->insertTab(d->debugTab, d->debugPanel, tabIcon(QStringLiteral("debug")), tr("Debug"));
        d->tabs->setTabEnabled(d->debugTab, true);
    }
    d->tabs->setCurrentIndex(d->debugTab);
}

void MainWindow::showStatusUpdateAnimation()
{
    d->updateAnimation->setVisible(true);
    d->updateAnimation->animation()->start();
}

void MainWindow::showVpnFailureDialog(Vpn::Protocol protocol)
{
    if (d->failureDialogShown)
        return;
    d->failureDialogShown = true;
    auto *dialog = new VpnFailureDialog(this, protocol);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &VpnFailureDialog::quitRequested, this, &MainWindow::quit);
    dialog->showNormal();
}

void MainWindow::showConnectionError(const VpnServer &server, const VpnConfiguration &, const QString &message,
                                     const std::function<void()> &closed)
{
    auto *dialog = new ConnectionErrorDialog(d->core, this);
    dialog->setError(server, message);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &ConnectionErrorDialog::closed, this, [closed] { closed(); });
    dialog->show();
}

void MainWindow::showVpnFailure(Vpn::Protocol protocol)
{
    showVpnFailureDialog(protocol);
}

void MainWindow::setUpTunDevice(const std::function<void(bool success)> &finished)
{
    if (d->tapInstallDialog) {
        d->tapInstallDialog->raise();
        d->tapInstallDialog->activateWindow();
        return;
    }
    d->tapInstallDialog = new TapInstallDialog(d->core->logManager(), this);
    d->tapInstallDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(d->tapInstallDialog, &TapInstallDialog::tapInstallFinished, this, [finished](bool success) {
        if (finished)
            finished(success);
    });
    d->tapInstallDialog->show();
}

void MainWindow::updateTrayIcon()
{
    switch (d->core->vpnClient()->state()) {
    case VpnConnection::Disconnected:
        d->blinkTimer->stop();
        d->trayIcon->setIcon(d->disconnectedIcon);
        break;
    case VpnConnection::Connected:
        d->blinkTimer->stop();
        d->trayIcon->setIcon(d->connectedIcon);
        break;
    default:
        if (!d->blinkTimer->isActive())
            d->blinkTimer->start();
        d->blinkPhase = !d->blinkPhase;
        d->trayIcon->setIcon(d->blinkPhase ? d->disconnectedIcon : d->connectedIcon);
        break;
    }
}

void MainWindow::trayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
        restore(false);
}

void MainWindow::messageReceived(const QString &)
{
    d->core->logManager()->addDataWithTimestamp(LogManager::GenericLevel, "Another start of the program asked for the window");
    restore(true);
}

void MainWindow::restore(bool raiseWindow)
{
    showNormal();
    if (raiseWindow)
        raise();
    activateWindow();
}

void MainWindow::commitDataRequest(QSessionManager &manager)
{
    // The desktop session ends: closing now quits instead of going to the tray.
    d->quitting = true;
    d->core->saveStatistics();
    manager.release();
}

void MainWindow::quit()
{
    if (d->quitting && d->shutDown)
        return;
    d->quitting = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (d->shutDown) {
        event->accept();
        return;
    }
    const Configuration *configuration = d->core->configuration();
    if (!d->quitting && configuration->closeToTray()) {
        event->ignore();
        if (hasSystemTray())
            QTimer::singleShot(0, this, &QWidget::hide);
        else
            // Without a tray the window could not be found again: it only goes down.
            QTimer::singleShot(0, this, &QWidget::showMinimized);
        return;
    }
    if (!d->quitting && d->core->vpnClient()->hasConnection()) {
        const QMessageBox::StandardButton answer = QMessageBox::warning(
            this, tr("Warning"),
            tr("You're currently connected to the VPN. Closing the software will terminate the VPN connection. Do you "
               "want to proceed?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    d->quitting = true;
    shutdown();
    event->accept();
}

void MainWindow::shutdown()
{
    d->shutDown = true;
    d->trayIcon->hide();
    VpnClient *client = d->core->vpnClient();
    {
        QProgressDialog progress(tr("Disconnecting VPN. Please wait ..."), QString(), 0, 100, this);
        progress.setWindowTitle(tr("Closing"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(2000);
        d->core->shutdown();
        // A tunnel that never reports its end must not hold the program: after the wait
        // the connection's programs end with the core.
        const QDeadlineTimer deadline(DisconnectWaitMs);
        while (client->hasConnection() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 50);
        if (client->hasConnection()) {
            d->core->logManager()->addDataWithTimestamp(
                LogManager::GenericLevel, "The VPN connection did not close in time; its programs are ended at exit");
        }
    }
    QSettings settings;
    settings.setValue(KeyGeometry, saveGeometry());
    settings.setValue(KeyState, saveState(StateVersion));
    d->core->saveStatistics();
    if (d->statusWindow) {
        d->statusWindow->savePosition();
        d->statusWindow->close();
    }
    emit finished();
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
    } else if (event->type() == QEvent::WindowStateChange && isMinimized() && !d->quitting
               && d->core->configuration()->minimizeToTray() && hasSystemTray()) {
        // Only the tray icon stays: the window leaves the task bar until it is restored.
        QTimer::singleShot(0, this, &QWidget::hide);
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    if (event->spontaneous() || d->quitting || !d->core->configuration()->closeToTray() || !hasSystemTray())
        return;
    QSettings settings;
    const int shown = settings.value(KeyTrayMessageCounter, 0).toInt() + 1;
    settings.setValue(KeyTrayMessageCounter, shown);
    settings.sync();
    if (shown <= BalloonsEver) {
        d->trayIcon->showMessage(tr("%1 is not closed").arg(QCoreApplication::applicationName()),
                                 tr("It has only been minimized. Double-click on the icon to restore the window."),
                                 QSystemTrayIcon::Information, BalloonMs);
    }
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    emit sizeChanged();
}
