#include "connectionpanel.h"

#include "bandwidthwidget.h"
#include "configuration.h"
#include "context.h"
#include "core.h"
#include "hidpi.h"
#include "logmanager.h"
#include "serverdetailsdialog.h"
#include "stringformat.h"
#include "styledbutton.h"
#include "trafficmanager.h"
#include "vpnclient.h"
#include "vpnconfiguration.h"
#include "vpnmanager.h"
#include "vpnserverfiltermodel.h"
#include "vpnservermodel.h"
#include "winutils.h"

#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

bool hasStealth(const VpnServer &server)
{
    return server.stealthPort() > 0 && !server.stealthAddress().isEmpty();
}

QString twoDigits(qint64 value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

class ConnectionPanelPrivate
{
public:
    Core *core = nullptr;
    QTimer *durationTimer = nullptr;
    bool shownOnce = false;
    // The user picked a protocol in this run: the panel never changes it by itself again.
    bool userChoseProtocol = false;
    // The panel itself is checking a radio button, which is not the user's choice.
    bool protocolUpdateGuard = false;
    bool adminMode = false;
    bool stealthAllowed = false;
    QDateTime lastRefresh;
    QLineEdit *searchEdit = nullptr;
    QGroupBox *providerBox = nullptr;
    QLineEdit *providerEdit = nullptr;
    VpnServer pendingServer;
    VpnServerModel *serverModel = nullptr;
    VpnServerFilterModel *filterModel = nullptr;
    QTreeView *serverView = nullptr;
    QGroupBox *protocolBox = nullptr;
    QRadioButton *tcpRadio = nullptr;
    QRadioButton *udpRadio = nullptr;
    // Stealth was unchecked because the selected server has no stealth entry.
    bool stealthUnchecked = false;
    QRadioButton *stealthRadio = nullptr;
    QRadioButton *l2tpRadio = nullptr;
    QRadioButton *pptpRadio = nullptr;
    QGroupBox *statusBox = nullptr;
    BandwidthWidget *downloadChart = nullptr;
    BandwidthWidget *uploadChart = nullptr;
    QLabel *receivedValue = nullptr;
    QLabel *sentValue = nullptr;
    QLabel *durationValue = nullptr;
    QLabel *receivedLabel = nullptr;
    QLabel *sentLabel = nullptr;
    QLabel *durationLabel = nullptr;
    QLabel *lastRefreshLabel = nullptr;
    QLabel *refreshLink = nullptr;
    StyledButton *bestButton = nullptr;
    StyledButton *connectButton = nullptr;
    // The column the list was sorted by, told by its meaning: a reset for another
    // account adds or removes columns in front of it.
    int (VpnServerModel::*sortColumn)() const = &VpnServerModel::pingColumn;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    QMenu *contextMenu = nullptr;
    QAction *connectAction = nullptr;
    QAction *autoConnectAction = nullptr;
    QAction *detailsAction = nullptr;

    void rememberSortColumn()
    {
        static const QList<int (VpnServerModel::*)() const> columns{
            &VpnServerModel::countryColumn, &VpnServerModel::locationColumn, &VpnServerModel::stealthColumn,
            &VpnServerModel::serverColumn,  &VpnServerModel::freeColumn,     &VpnServerModel::pingColumn,
            &VpnServerModel::distanceColumn, &VpnServerModel::providerColumn, &VpnServerModel::checkColumn};
        const QHeaderView *header = serverView->header();
        for (const auto column : columns) {
            if ((serverModel->*column)() == header->sortIndicatorSection()) {
                sortColumn = column;
                sortOrder = header->sortIndicatorOrder();
                return;
            }
        }
    }

    VpnServer currentRowServer() const
    {
        return serverModel->serverAt(filterModel->mapToSource(serverView->currentIndex()));
    }

    void checkRadio(QRadioButton *radio)
    {
        protocolUpdateGuard = true;
        radio->setChecked(true);
        protocolUpdateGuard = false;
    }

    Vpn::Protocol checkedProtocol() const
    {
        if (udpRadio->isChecked())
            return Vpn::OpenVpnUdp;
        if (stealthRadio->isChecked())
            return Vpn::OpenVpnStealth;
        if (l2tpRadio->isChecked())
            return Vpn::L2tp;
        if (pptpRadio->isChecked())
            return Vpn::Pptp;
        return Vpn::OpenVpnTcp;
    }

    void setRefreshLinkColor(const QColor &color)
    {
        refreshLink->setText(QStringLiteral("<a href=\"#\" style=\"color: %1; text-decoration: underline;\">%2</a>")
                                 .arg(color.name(), ConnectionPanel::tr("Refresh now")));
    }

    void setFigures(qint64 received, qint64 sent, qint64 seconds)
    {
        receivedValue->setText(StringFormat::byteCount(received, false));
        sentValue->setText(StringFormat::byteCount(sent, false));
        durationValue->setText(QStringLiteral("%1:%2:%3")
                                   .arg(twoDigits(seconds / 3600), twoDigits(seconds / 60 % 60), twoDigits(seconds % 60)));
    }

    // Asks whether to take a less loaded server; false when the user closed the question.
    bool offerAlternative(QWidget *parent, VpnServer *server)
    {
        Configuration *configuration = core->configuration();
        VpnManager *catalogue = core->vpnManager();
        if (!configuration->offerAlternative() || catalogue->isAcceptable(*server))
            return true;
        const VpnServer alternative = catalogue->alternativeServer(*server);
        if (alternative.isNull())
            return true;
        const QString place = alternative.location().name();
        QMessageBox box(QMessageBox::Information, ConnectionPanel::tr("High load on this server"),
                        ConnectionPanel::tr("This server has a high load and speed might be insufficient."),
                        QMessageBox::NoButton, parent);
        box.setInformativeText(ConnectionPanel::tr("Would you like to connect to another server in <b>%1 (%2)</b> instead?")
                                   .arg(place.toHtmlEscaped(), alternative.country().name().toHtmlEscaped()));
        auto *dontAsk = new QCheckBox(ConnectionPanel::tr("Don't ask again"), &box);
        box.setCheckBox(dontAsk);
        QPushButton *yes = box.addButton(QMessageBox::Yes);
        QPushButton *no = box.addButton(QMessageBox::No);
        box.setDefaultButton(yes);
        box.exec();
        configuration->setOfferAlternative(!dontAsk->isChecked());
        if (box.clickedButton() == yes)
            *server = alternative;
        return box.clickedButton() == yes || box.clickedButton() == no;
    }
};

ConnectionPanel::ConnectionPanel(Core *core, QWidget *parent)
    : QWidget(parent)
    , d(new ConnectionPanelPrivate)
{
    d->core = core;
    d->durationTimer = new QTimer(this);
    d->durationTimer->setInterval(1000);

    d->searchEdit = new QLineEdit(this);
    d->searchEdit->setClearButtonEnabled(true);
    d->lastRefreshLabel = new QLabel(this);
    d->lastRefreshLabel->setVisible(false);
    d->refreshLink = new QLabel(this);
    d->refreshLink->setVisible(false);
    d->refreshLink->setTextFormat(Qt::RichText);
    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(d->searchEdit);
    searchRow->addStretch();
    searchRow->addWidget(d->lastRefreshLabel);
    searchRow->addWidget(d->refreshLink);

    d->providerBox = new QGroupBox(this);
    d->providerEdit = new QLineEdit(d->providerBox);
    d->providerEdit->setMaximumWidth(mHiDpiSize(100));
    auto *providerRow = new QHBoxLayout(d->providerBox);
    providerRow->addWidget(d->providerEdit);
    providerRow->addStretch();
    d->providerBox->setVisible(false);

    d->serverModel = new VpnServerModel(core->vpnManager(), this);
    core->connectServerModel(d->serverModel);
    d->filterModel = new VpnServerFilterModel(d->serverModel, this);
    d->filterModel->setDynamicSortFilter(true);
    d->filterModel->setFilterCaseSensitivity(Qt::CaseInsensitive);
    d->filterModel->setSortRole(Qt::UserRole);
    d->serverView = new QTreeView(this);
    d->serverView->setModel(d->filterModel);
    d->serverView->setSortingEnabled(true);
    d->serverView->setAlternatingRowColors(true);
    d->serverView->setIndentation(0);
    d->serverView->setRootIsDecorated(false);
    d->serverView->setUniformRowHeights(true);
    d->serverView->setContextMenuPolicy(Qt::CustomContextMenu);
    d->serverView->header()->setStretchLastSection(false);

    d->protocolBox = new QGroupBox(this);
    d->tcpRadio = new QRadioButton(d->protocolBox);
    d->udpRadio = new QRadioButton(d->protocolBox);
    d->stealthRadio = new QRadioButton(d->protocolBox);
    d->l2tpRadio = new QRadioButton(d->protocolBox);
    d->pptpRadio = new QRadioButton(d->protocolBox);
    auto *protocols = new QGridLayout(d->protocolBox);
    protocols->addWidget(d->tcpRadio, 0, 0);
    protocols->addWidget(d->udpRadio, 1, 0);
    protocols->addWidget(d->l2tpRadio, 0, 1);
    protocols->addWidget(d->pptpRadio, 1, 1);
    protocols->addWidget(d->stealthRadio, 2, 0, 1, 2);
    d->tcpRadio->setChecked(true);
    d->stealthRadio->setEnabled(false);
    d->stealthRadio->setVisible(false);

    d->statusBox = new QGroupBox(this);
    d->downloadChart = new BandwidthWidget(core, d->statusBox);
    d->downloadChart->setDownload(true);
    d->uploadChart = new BandwidthWidget(core, d->statusBox);
    d->uploadChart->setDownload(false);
    d->receivedLabel = new QLabel(d->statusBox);
    d->sentLabel = new QLabel(d->statusBox);
    d->durationLabel = new QLabel(d->statusBox);
    d->receivedValue = new QLabel(d->statusBox);
    d->sentValue = new QLabel(d->statusBox);
    d->durationValue = new QLabel(d->statusBox);
    for (QLabel *value : {d->receivedValue, d->sentValue, d->durationValue})
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *figures = new QFormLayout;
    figures->setVerticalSpacing(mHiDpiSize(2));
    figures->addRow(d->receivedLabel, d->receivedValue);
    figures->addRow(d->sentLabel, d->sentValue);
    figures->addRow(d->durationLabel, d->durationValue);
    auto *status = new QHBoxLayout(d->statusBox);
    status->addWidget(d->downloadChart, 4);
    status->addWidget(d->uploadChart, 4);
    status->addStretch();
    status->addLayout(figures);

    auto *boxes = new QHBoxLayout;
    boxes->addWidget(d->protocolBox, 0);
    boxes->addWidget(d->statusBox, 1);

    d->bestButton = new StyledButton(this);
    d->bestButton->setStyle(StyledButton::Primary);
    d->connectButton = new StyledButton(this);
    d->connectButton->setAnimation(mHiDpiFactor() > 1.0 ? QStringLiteral(":/animations/button_busy@2x.png")
                                                        : QStringLiteral(":/animations/button_busy.png"),
                                   12, mHiDpiFactor(), 192, 16);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(d->bestButton);
    buttons->addStretch();
    buttons->addWidget(d->connectButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(d->providerBox);
    layout->addWidget(d->serverView, 1);
    layout->addLayout(boxes);
    layout->addLayout(buttons);

    d->contextMenu = new QMenu(this);
    d->connectAction = d->contextMenu->addAction(QString(), this, qOverload<>(&ConnectionPanel::connectToServer));
    d->autoConnectAction = d->contextMenu->addAction(QString(), this, &ConnectionPanel::setAutoConnectServer);
    d->autoConnectAction->setCheckable(true);
    d->detailsAction = d->contextMenu->addAction(QString(), this, &ConnectionPanel::showServerDetails);

    retranslate();
    setupColumnSizing();
    d->setFigures(0, 0, 0);
    // The preferred protocol is selected before the radio buttons report choices.
    updateSelectedProtocol();
    for (QRadioButton *radio : {d->tcpRadio, d->udpRadio, d->stealthRadio, d->l2tpRadio, d->pptpRadio})
        connect(radio, &QRadioButton::toggled, this, &ConnectionPanel::protocolChanged);

    VpnClient *client = core->vpnClient();
    VpnManager *catalogue = core->vpnManager();
    connect(d->durationTimer, &QTimer::timeout, this, &ConnectionPanel::updateConnectionTime);
    connect(core, &Core::loggedIn, this, &ConnectionPanel::loggedIn);
    connect(core, &Core::userStatusUpdated, this, &ConnectionPanel::userStatusUpdated);
    connect(client, &VpnClient::vpnConnectionStateChanged, this, &ConnectionPanel::vpnConnectionStateChanged);
    connect(catalogue, &VpnManager::vpnServersChanged, this, &ConnectionPanel::vpnServersRefreshed);
    connect(d->refreshLink, &QLabel::linkActivated, this, &ConnectionPanel::refreshVpnServers);
    connect(d->searchEdit, &QLineEdit::textChanged, this, &ConnectionPanel::filter);
    connect(d->providerEdit, &QLineEdit::textChanged, this, &ConnectionPanel::filter);
    connect(d->serverView, &QTreeView::doubleClicked, this, &ConnectionPanel::doubleClicked);
    connect(d->serverView, &QTreeView::customContextMenuRequested, this, &ConnectionPanel::showContextMenu);
    connect(d->serverView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ConnectionPanel::selectionChanged);
    connect(d->filterModel, &QAbstractItemModel::modelReset, this, &ConnectionPanel::selectionChanged);
    connect(d->serverModel, &QAbstractItemModel::modelAboutToBeReset, this, [this] { d->rememberSortColumn(); });
    connect(d->serverModel, &QAbstractItemModel::modelReset, this, &ConnectionPanel::setupColumnSizing);
    connect(d->bestButton, &QPushButton::clicked, this, &ConnectionPanel::connectToBestServer);
    connect(d->connectButton, &QPushButton::clicked, this, &ConnectionPanel::connectButtonClicked);
    vpnConnectionStateChanged(client->state());
}

ConnectionPanel::~ConnectionPanel() = default;

void ConnectionPanel::retranslate()
{
    d->searchEdit->setPlaceholderText(tr("Search for VPN server"));
    d->providerEdit->setPlaceholderText(tr("Provider"));
    d->protocolBox->setTitle(tr("Protocol"));
    d->tcpRadio->setText(tr("OpenVPN (TCP)"));
    d->udpRadio->setText(tr("OpenVPN (UDP)"));
    d->stealthRadio->setText(tr("Stealth OpenVPN"));
    d->l2tpRadio->setText(tr("L2TP"));
    d->pptpRadio->setText(tr("PPTP"));
    d->statusBox->setTitle(tr("Status"));
    d->receivedLabel->setText(tr("Received:"));
    d->sentLabel->setText(tr("Sent:"));
    d->durationLabel->setText(tr("Duration:"));
    d->bestButton->setText(tr("Connect to best location"));
    d->connectAction->setText(tr("Connect to this location"));
    d->autoConnectAction->setText(tr("Auto-connect to this location on startup"));
    d->detailsAction->setText(tr("Show Details"));
    if (d->lastRefresh.isValid())
        d->lastRefreshLabel->setText(tr("Last list refresh: %1").arg(StringFormat::dateTime(d->lastRefresh)));
    d->setRefreshLinkColor(palette().color(QPalette::Link));
    vpnConnectionStateChanged(d->core->vpnClient()->state());
}

void ConnectionPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void ConnectionPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (d->shownOnce)
        return;
    d->shownOnce = true;
    d->serverView->setFocus();
}

void ConnectionPanel::setupColumnSizing()
{
    QHeaderView *header = d->serverView->header();
    const VpnServerModel *model = d->serverModel;
    const auto size = [header](int column, int width) {
        if (column >= 0)
            header->resizeSection(column, mHiDpiSize(width));
    };
    for (int column = 0; column < model->columnCount(); ++column)
        header->setSectionResizeMode(column, QHeaderView::Interactive);
    size(model->countryColumn(), 200);
    size(model->locationColumn(), 200);
    header->setSectionResizeMode(model->locationColumn(), QHeaderView::Stretch);
    size(model->serverColumn(), 140);
    size(model->freeColumn(), 80);
    size(model->pingColumn(), 70);
    size(model->distanceColumn(), 140);
    if (d->adminMode) {
        size(model->providerColumn(), 80);
        size(model->checkColumn(), 120);
    }
    if (model->stealthColumn() >= 0) {
        size(model->stealthColumn(), 22);
        header->setSectionResizeMode(model->stealthColumn(), QHeaderView::Fixed);
    }
    const int sortColumn = (model->*d->sortColumn)();
    d->serverView->sortByColumn(sortColumn >= 0 ? sortColumn : model->pingColumn(), d->sortOrder);
}

void ConnectionPanel::refreshVpnServers()
{
    d->setRefreshLinkColor(palette().color(QPalette::Disabled, QPalette::WindowText));
    if (!d->core->vpnManager()->updateVpnServers())
        d->setRefreshLinkColor(palette().color(QPalette::Link));
}

void ConnectionPanel::vpnServersRefreshed()
{
    d->lastRefresh = QDateTime::currentDateTime();
    d->lastRefreshLabel->setText(tr("Last list refresh: %1").arg(StringFormat::dateTime(d->lastRefresh)));
    d->lastRefreshLabel->setVisible(true);
    d->refreshLink->setVisible(true);
    d->setRefreshLinkColor(palette().color(QPalette::Link));
}

void ConnectionPanel::connectButtonClicked()
{
    VpnClient *client = d->core->vpnClient();
    if (client->hasConnection()) {
        client->disconnect();
        return;
    }
    connectToServer(d->currentRowServer());
}

void ConnectionPanel::connectToBestServer()
{
    const VpnServer best = d->core->vpnManager()->bestServer();
    if (!best.isNull())
        connectToServer(best);
}

void ConnectionPanel::connectToServer()
{
    connectToServer(d->currentRowServer());
}

void ConnectionPanel::doubleClicked(const QModelIndex &index)
{
    connectToServer(d->serverModel->serverAt(d->filterModel->mapToSource(index)));
}

void ConnectionPanel::connectToServer(const VpnServer &chosen)
{
    VpnServer server = chosen;
    if (server.isNull()) {
        emit showMe();
        QMessageBox box(QMessageBox::Information, tr("No server selected"), tr("No server selected"), QMessageBox::Ok,
                        this);
        box.setInformativeText(tr("Please choose a server to connect to from the list first or click \"Auto select\" "
                                  "if one should be selected for you."));
        QPushButton *autoSelect = box.addButton(QMessageBox::Yes);
        autoSelect->setText(tr("Auto select"));
        box.setDefaultButton(autoSelect);
        box.setEscapeButton(QMessageBox::Ok);
        box.exec();
        if (box.clickedButton() != autoSelect)
            return;
        server = d->core->vpnManager()->bestServer();
        if (server.isNull())
            return;
    }
    Core *core = d->core;
    if (!core->hasServerContact() || !core->ensureLoggedIn())
        return;
    const Context *context = core->context();
    if (context->userStatus().isNull()) {
        // Connected as soon as the login brings the account.
        d->pendingServer = server;
        return;
    }
    if (!context->isAccountUsable()) {
        QString title = context->text(QStringLiteral("dialog.inactive.title"));
        QString text = context->text(QStringLiteral("dialog.inactive.text"));
        if (title.isEmpty())
            title = tr("Account inactive");
        if (text.isEmpty())
            text = tr("Your account cannot connect right now: please check your subscription.");
        QMessageBox::information(this, title, text, QMessageBox::Ok);
        return;
    }
    const VpnAccount account = context->vpnAccount();
    if (account.isNull())
        return;
    if (!d->offerAlternative(this, &server))
        return;

    VpnConfiguration configuration = VpnConfiguration::fromAccount(account);
    configuration.setProtocol(d->checkedProtocol());
    if (configuration.protocol() != Vpn::L2tp && configuration.protocol() != Vpn::Pptp
        && !WinUtils::isRunningAsAdministrator()) {
        core->logManager()->addLineWithTimestamp(
            tr("Connecting without root rights goes through the %1 service; start the client as root when it is not "
               "installed.")
                .arg(QStringLiteral("NoxelOpenVPNService")));
    }
    core->vpnClient()->connectToServer(server, configuration);
}

void ConnectionPanel::loggedIn()
{
    if (d->pendingServer.isNull())
        return;
    connectToServer(std::exchange(d->pendingServer, VpnServer()));
}

void ConnectionPanel::updateSelectedProtocol()
{
    if (d->userChoseProtocol)
        return;
    d->stealthRadio->setVisible(d->stealthAllowed);
    switch (d->core->vpnClient()->defaultProtocol()) {
    case Vpn::OpenVpnTcp:
        d->checkRadio(d->tcpRadio);
        break;
    case Vpn::OpenVpnStealth:
        if (!d->stealthAllowed) {
            d->checkRadio(d->udpRadio);
        } else if (d->stealthRadio->isEnabled()) {
            d->checkRadio(d->stealthRadio);
        } else {
            // Stealth comes back once a server that offers it is selected.
            d->checkRadio(d->tcpRadio);
            d->stealthUnchecked = true;
        }
        break;
    case Vpn::L2tp:
        d->checkRadio(d->l2tpRadio);
        break;
    case Vpn::Pptp:
        d->checkRadio(d->pptpRadio);
        break;
    default:
        d->checkRadio(d->udpRadio);
        break;
    }
}

void ConnectionPanel::protocolChanged()
{
    if (d->protocolUpdateGuard)
        return;
    d->userChoseProtocol = true;
    if (!d->stealthRadio->isChecked())
        d->stealthUnchecked = false;
    d->core->configuration()->setLastProtocol(Vpn::GetProtocolKey(d->checkedProtocol()));
}

void ConnectionPanel::selectionChanged()
{
    const bool stealth = hasStealth(d->currentRowServer());
    if (!stealth && d->stealthRadio->isChecked()) {
        d->checkRadio(d->tcpRadio);
        d->stealthUnchecked = true;
    }
    d->stealthRadio->setEnabled(stealth);
    if (stealth && d->stealthUnchecked && !d->stealthRadio->isChecked()) {
        d->stealthUnchecked = false;
        d->checkRadio(d->stealthRadio);
    }
}

void ConnectionPanel::userStatusUpdated(const UserStatus &status)
{
    if (status.hasAdminFlag() == d->adminMode && status.isStealthOpenVpn() == d->stealthAllowed) {
        updateSelectedProtocol();
        return;
    }
    d->adminMode = status.hasAdminFlag();
    d->stealthAllowed = status.isStealthOpenVpn();
    d->providerBox->setVisible(d->adminMode);
    d->stealthRadio->setVisible(d->stealthAllowed);
    if (!d->userChoseProtocol && d->stealthAllowed
        && d->core->configuration()->lastProtocol() == Vpn::GetProtocolKey(Vpn::OpenVpnStealth))
        d->checkRadio(d->stealthRadio);
    filter();
    updateSelectedProtocol();
}

void ConnectionPanel::vpnConnectionStateChanged(VpnConnection::State state)
{
    StyledButton *button = d->connectButton;
    const bool connected = state == VpnConnection::Connected;
    switch (state) {
    case VpnConnection::Disconnected:
        button->setText(tr("Connect"));
        button->setStyle(StyledButton::Success);
        button->stopAnimation();
        d->durationTimer->stop();
        d->setFigures(0, 0, 0);
        break;
    case VpnConnection::Connecting:
        button->setText(tr("Connecting ..."));
        button->setStyle(StyledButton::Warning);
        button->startAnimation();
        d->durationTimer->stop();
        break;
    case VpnConnection::Disconnecting:
        button->setText(tr("Disconnecting ..."));
        button->setStyle(StyledButton::Warning);
        button->startAnimation();
        d->durationTimer->stop();
        break;
    case VpnConnection::Connected:
        button->setText(tr("Disconnect"));
        button->setStyle(StyledButton::Danger);
        button->stopAnimation();
        d->durationTimer->start();
        break;
    }
    // The charts keep their look while a connection is being made or closed.
    if (connected || state == VpnConnection::Disconnected) {
        d->downloadChart->setEnabled(connected);
        d->uploadChart->setEnabled(connected);
    }
}

void ConnectionPanel::updateConnectionTime()
{
    const VpnClient *client = d->core->vpnClient();
    const TrafficManager *traffic = client->trafficManager();
    d->setFigures(traffic->totalIn(), traffic->totalOut(), client->connectedSeconds());
}

void ConnectionPanel::showContextMenu(const QPoint &point)
{
    const QModelIndex index = d->serverView->indexAt(point);
    if (!index.isValid())
        return;
    d->serverView->setCurrentIndex(index);
    const Configuration *configuration = d->core->configuration();
    d->autoConnectAction->setChecked(configuration->autoConnectType() == Configuration::AutoConnectSpecific
                                     && configuration->autoConnectServerUid() == d->currentRowServer().uid());
    d->contextMenu->popup(QCursor::pos());
}

void ConnectionPanel::setAutoConnectServer()
{
    const VpnServer server = d->currentRowServer();
    if (server.isNull())
        return;
    Configuration *configuration = d->core->configuration();
    configuration->beginUpdate();
    configuration->setAutoConnect(true);
    configuration->setAutoConnectType(Configuration::AutoConnectSpecific);
    configuration->setAutoConnectServerUid(server.uid());
    configuration->endUpdate();
}

void ConnectionPanel::showServerDetails()
{
    const VpnServer server = d->currentRowServer();
    if (server.isNull())
        return;
    auto *dialog = new ServerDetailsDialog(d->core, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setServer(server);
    dialog->show();
}

void ConnectionPanel::filter()
{
    d->filterModel->setProviderFilter(d->adminMode, d->providerEdit->text().toLower());
    d->filterModel->setFilterWildcard(d->searchEdit->text());
}
