#include "mainwindow.h"

#include "configuration.h"
#include "context.h"
#include "core.h"
#include "logmanager.h"
#include "sessiondialogs.h"
#include "tapinstalldialog.h"
#include "vpnclient.h"
#include "vpnconfiguration.h"
#include "vpnmanager.h"
#include "vpnserverfiltermodel.h"
#include "vpnservermodel.h"
#include "winutils.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

MainWindow::MainWindow(Core *core)
    : core(core)
    , status(new QLabel(this))
    , address(new QLabel(this))
    , search(new QLineEdit(this))
    , servers(new QTableView(this))
    , protocol(new QComboBox(this))
    , connectButton(new QPushButton(this))
    , quitAction(new QAction(this))
    , model(new VpnServerModel(core->vpnManager(), this))
    , proxy(new VpnServerFilterModel(model, this))
    , dialogs(new SessionDialogs(core, this))
{
    core->setSessionFeedback(dialogs);
    core->vpnClient()->setFeedback(this);
    core->connectServerModel(model);
    connect(dialogs, &SessionDialogs::quitRequested, this, &MainWindow::quit);

    proxy->setDynamicSortFilter(true);
    proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy->setSortRole(Qt::UserRole);
    servers->setModel(proxy);
    servers->setSortingEnabled(true);
    servers->sortByColumn(model->pingColumn(), Qt::AscendingOrder);
    servers->setSelectionBehavior(QAbstractItemView::SelectRows);
    servers->setSelectionMode(QAbstractItemView::SingleSelection);
    servers->verticalHeader()->hide();
    servers->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(search, &QLineEdit::textChanged, proxy, &QSortFilterProxyModel::setFilterWildcard);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        servers->sortByColumn(model->pingColumn(), Qt::AscendingOrder);
    });
    connect(servers, &QTableView::doubleClicked, this, &MainWindow::connectSelected);

    for (const Vpn::Protocol p : {Vpn::OpenVpnUdp, Vpn::OpenVpnTcp, Vpn::OpenVpnStealth, Vpn::L2tp, Vpn::Pptp})
        protocol->addItem(Vpn::GetProtocolDisplayName(p), int(p));
    protocol->setCurrentIndex(protocol->findData(int(core->vpnClient()->defaultProtocol())));
    connect(connectButton, &QPushButton::clicked, this, [this] {
        if (this->core->vpnClient()->hasConnection())
            this->core->vpnClient()->disconnect();
        else
            connectSelected();
    });

    auto *controls = new QHBoxLayout;
    controls->addWidget(protocol, 1);
    controls->addWidget(connectButton);
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(status);
    layout->addWidget(address);
    layout->addWidget(search);
    layout->addWidget(servers, 1);
    layout->addLayout(controls);
    setCentralWidget(central);

    quitAction->setShortcut(QKeySequence::Quit);
    connect(quitAction, &QAction::triggered, this, &MainWindow::quit);
    menuBar()->addMenu(QString())->addAction(quitAction);

    VpnClient *client = core->vpnClient();
    connect(client, &VpnClient::vpnConnectionStateChanged, this, &MainWindow::updateState);
    connect(client, &VpnClient::vpnConnectionStateStringChanged, this, [this](const QString &text) {
        if (this->core->vpnClient()->state() == VpnConnection::Connecting)
            status->setText(text);
    });
    connect(core, &Core::originalIpChanged, this, &MainWindow::updateAddress);
    connect(core, &Core::vpnIpChanged, this, &MainWindow::updateAddress);
    resize(640, 560);
    retranslate();
}

MainWindow::~MainWindow()
{
    // The core outlives the window.
    core->setSessionFeedback(nullptr);
    core->vpnClient()->setFeedback(nullptr);
}

void MainWindow::showConnectionError(const VpnServer &server, const VpnConfiguration &, const QString &message,
                                     const std::function<void()> &closed)
{
    const QString place = server.location().name().isEmpty() ? server.host() : server.location().name();
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Connection failed"),
                                tr("The VPN connection to %1 could not be made.").arg(place), QMessageBox::Ok, this);
    box->setInformativeText(message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QDialog::finished, this, [closed] { closed(); });
    box->open();
}

void MainWindow::showVpnFailure(Vpn::Protocol protocol)
{
    auto *box = new QMessageBox(QMessageBox::Information, tr("Connection problems"),
                                tr("Connecting with %1 has failed several times. Another protocol or another server "
                                   "location may work better from where you are.")
                                    .arg(Vpn::GetProtocolDisplayName(protocol)),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWindow::setUpTunDevice(const std::function<void(bool success)> &finished)
{
    if (tapInstallDialog) {
        tapInstallDialog->raise();
        tapInstallDialog->activateWindow();
        return;
    }
    tapInstallDialog = new TapInstallDialog(core->logManager(), this);
    tapInstallDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(tapInstallDialog, &TapInstallDialog::tapInstallFinished, this, [finished](bool success) {
        if (finished)
            finished(success);
    });
    tapInstallDialog->show();
}

void MainWindow::retranslate()
{
    setWindowTitle(tr("Noxel"));
    search->setPlaceholderText(tr("Search country or city"));
    menuBar()->actions().constFirst()->setText(tr("&File"));
    quitAction->setText(tr("&Quit"));
    updateState();
    updateAddress();
}

void MainWindow::updateState()
{
    const VpnClient *client = core->vpnClient();
    const VpnServer server = client->currentServer();
    switch (client->state()) {
    case VpnConnection::Disconnected:
        status->setText(tr("Not connected"));
        break;
    case VpnConnection::Connecting:
        status->setText(tr("Connecting to %1 ...").arg(server.location().name()));
        break;
    case VpnConnection::Connected:
        status->setText(tr("Connected to %1").arg(server.location().name()));
        break;
    case VpnConnection::Disconnecting:
        status->setText(tr("Disconnecting ..."));
        break;
    }
    connectButton->setText(client->hasConnection() ? tr("Disconnect") : tr("Connect"));
}

void MainWindow::updateAddress()
{
    const GeoIp vpn = core->vpnIp();
    const GeoIp original = core->originalIp();
    if (!vpn.isNull())
        address->setText(tr("Your IP address: %1 (%2) - protected").arg(vpn.address(), vpn.location()));
    else if (!original.isNull())
        address->setText(tr("Your IP address: %1 (%2) - not protected").arg(original.address(), original.location()));
    else
        address->setText(tr("Determining your IP address ..."));
}

void MainWindow::connectSelected()
{
    const QModelIndexList rows = servers->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        status->setText(tr("Choose a server location first."));
        return;
    }
    const VpnServer server = model->serverAt(proxy->mapToSource(rows.first()));
    if (!core->hasServerContact() || !core->ensureLoggedIn())
        return;
    if (!core->context()->isAccountUsable()) {
        status->setText(tr("Your account cannot connect right now: please check your subscription."));
        return;
    }
    const auto chosen = Vpn::Protocol(protocol->currentData().toInt());
    if ((chosen == Vpn::OpenVpnUdp || chosen == Vpn::OpenVpnTcp || chosen == Vpn::OpenVpnStealth)
        && !WinUtils::isRunningAsAdministrator()) {
        core->logManager()->addLineWithTimestamp(
            tr("Connecting without root rights goes through the %1 service; start the client as root when it is not installed.")
                .arg(QStringLiteral("NoxelOpenVPNService")));
    }
    VpnConfiguration configuration = VpnConfiguration::fromAccount(core->context()->vpnAccount());
    configuration.setProtocol(chosen);
    core->configuration()->setLastProtocol(Vpn::GetProtocolKey(chosen));
    core->vpnClient()->connectToServer(server, configuration);
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
