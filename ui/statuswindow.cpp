#include "statuswindow.h"

#include "connectionwidget.h"
#include "core.h"
#include "hidpi.h"
#include "iconwidget.h"
#include "serverwidget.h"
#include "vpnclient.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSettings>

namespace {

const QString LocationKey = QStringLiteral("status_show_location");
const QString DownloadKey = QStringLiteral("status_show_down");
const QString UploadKey = QStringLiteral("status_show_up");
const QString PositionKey = QStringLiteral("status_indicator_pos");

// Like the preferences, a choice set back to its default leaves the settings.
void storeChoice(const QString &key, bool value)
{
    QSettings settings;
    if (value)
        settings.setValue(key, true);
    else
        settings.remove(key);
}

} // namespace

class StatusWindowPrivate
{
public:
    explicit StatusWindowPrivate(StatusWindow *q)
        : q(q)
    {
    }

    void showLocation(bool show);
    void showDownload(bool show);
    void showUpload(bool show);
    // The window takes the size of what it shows.
    void fitToContents();
    // Enough of the window at `position` lies on some screen to grab it there.
    bool isReachable(const QPoint &position) const;
    void retranslate();

    StatusWindow *q;
    VpnClient *client = nullptr;
    IconWidget *icon = nullptr;
    ServerWidget *server = nullptr;
    ConnectionWidget *connection = nullptr;
    bool shownOnce = false;
    bool dragging = false;
    // Where the window was grabbed, from its top-left corner.
    QPoint pressOffset;
    QMenu *menu = nullptr;
    QAction *disconnectAction = nullptr;
    QAction *locationAction = nullptr;
    QAction *downloadAction = nullptr;
    QAction *uploadAction = nullptr;
};

void StatusWindowPrivate::showLocation(bool show)
{
    server->setVisible(show);
    locationAction->setChecked(show);
    fitToContents();
}

void StatusWindowPrivate::showDownload(bool show)
{
    connection->setShowDownload(show);
    downloadAction->setChecked(show);
    fitToContents();
}

void StatusWindowPrivate::showUpload(bool show)
{
    connection->setShowUpload(show);
    uploadAction->setChecked(show);
    fitToContents();
}

void StatusWindowPrivate::fitToContents()
{
    // The layouts would follow on the next pass of the event loop; a caller that
    // places the window right away needs its size now.
    connection->layout()->activate();
    q->layout()->activate();
}

bool StatusWindowPrivate::isReachable(const QPoint &position) const
{
    const QRect area(position, q->frameGeometry().size());
    const int grip = mHiDpiSize(20);
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        const QRect visible = area & screen->availableGeometry();
        if (visible.width() >= grip && visible.height() >= grip)
            return true;
    }
    return false;
}

void StatusWindowPrivate::retranslate()
{
    disconnectAction->setText(StatusWindow::tr("Disconnect"));
    locationAction->setText(StatusWindow::tr("Show Location"));
    downloadAction->setText(StatusWindow::tr("Show Download Chart"));
    uploadAction->setText(StatusWindow::tr("Show Upload Chart"));
}

StatusWindow::StatusWindow(Core *core, QWidget *parent)
    // A tool window: X11 desktops leave it out of the task bar, which its parent
    // alone does not achieve there.
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , d(std::make_unique<StatusWindowPrivate>(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    d->client = core->vpnClient();

    d->icon = new IconWidget(this);
    d->icon->setFixedSize(mHiDpiSize(40, 40));
    d->server = new ServerWidget(d->client, this);
    d->server->setFixedSize(mHiDpiSize(220, 34));
    d->connection = new ConnectionWidget(core, this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(d->icon);
    layout->addWidget(d->server);
    layout->addWidget(d->connection);

    d->menu = new QMenu(this);
    d->disconnectAction = d->menu->addAction(QString());
    d->menu->addSeparator();
    d->locationAction = d->menu->addAction(QString());
    d->downloadAction = d->menu->addAction(QString());
    d->uploadAction = d->menu->addAction(QString());
    for (QAction *action : { d->locationAction, d->downloadAction, d->uploadAction })
        action->setCheckable(true);
    d->retranslate();

    connect(d->disconnectAction, &QAction::triggered, this, &StatusWindow::closeConnection);
    connect(d->locationAction, &QAction::triggered, this, &StatusWindow::setShowLocation);
    connect(d->downloadAction, &QAction::triggered, this, &StatusWindow::setShowDownload);
    connect(d->uploadAction, &QAction::triggered, this, &StatusWindow::setShowUpload);
    connect(d->icon, &IconWidget::hotspotEntered, this, &StatusWindow::showContextMenu);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &StatusWindow::showContextMenu);

    const QSettings settings;
    d->showLocation(settings.value(LocationKey, false).toBool());
    d->showDownload(settings.value(DownloadKey, false).toBool());
    d->showUpload(settings.value(UploadKey, false).toBool());

    connect(d->client, &VpnClient::vpnConnectionStateChanged, this, &StatusWindow::vpnConnectionStateChanged);
    connect(d->client, &VpnClient::vpnConnectionStateStringChanged, this,
        &StatusWindow::vpnConnectionStateStringChanged);
    connect(core, &Core::vpnIpChanged, this, &StatusWindow::vpnIpChanged);
    vpnIpChanged(core->vpnIp());
    vpnConnectionStateChanged(d->client->state());
}

StatusWindow::~StatusWindow() = default;

void StatusWindow::showContextMenu()
{
    if (!d->menu->isVisible())
        d->menu->popup(QCursor::pos());
}

void StatusWindow::restorePosition()
{
    const QPoint stored = QSettings().value(PositionKey).toPoint();
    // A point of (0, 0) is what a missing value reads as.
    if (stored.isNull() || !d->isReachable(stored))
        moveToDefaultPosition();
    else
        move(stored);
}

void StatusWindow::savePosition()
{
    QSettings settings;
    settings.setValue(PositionKey, pos());
    settings.sync();
}

void StatusWindow::setShowLocation(bool show)
{
    storeChoice(LocationKey, show);
    d->showLocation(show);
}

void StatusWindow::setShowDownload(bool show)
{
    storeChoice(DownloadKey, show);
    d->showDownload(show);
}

void StatusWindow::setShowUpload(bool show)
{
    storeChoice(UploadKey, show);
    d->showUpload(show);
}

void StatusWindow::moveToDefaultPosition()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // From the area's own corner: the primary screen need not start at (0, 0).
    const QRect area = screen->availableGeometry();
    const QSize frame = frameGeometry().size();
    const int gap = mHiDpiSize(20);
    move(area.x() + area.width() - frame.width() - gap, area.y() + area.height() - frame.height() - gap);
}

void StatusWindow::vpnConnectionStateChanged(VpnConnection::State state)
{
    d->icon->setState(state);
    d->server->setState(state);
    d->connection->setConnected(state == VpnConnection::Connected);
    d->disconnectAction->setEnabled(state == VpnConnection::Connecting || state == VpnConnection::Connected);
}

void StatusWindow::vpnConnectionStateStringChanged(const QString &stateString)
{
    d->server->setStateString(stateString);
}

void StatusWindow::closeConnection()
{
    d->client->disconnect();
}

void StatusWindow::vpnIpChanged(const GeoIp &geoIp)
{
    d->server->setVpnIp(geoIp);
}

void StatusWindow::showEvent(QShowEvent *event)
{
    if (!d->shownOnce) {
        d->shownOnce = true;
        restorePosition();
    }
    QWidget::showEvent(event);
}

void StatusWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    d->dragging = true;
    d->pressOffset = event->globalPosition().toPoint() - pos();
    setCursor(Qt::ClosedHandCursor);
}

void StatusWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (d->dragging)
        move(event->globalPosition().toPoint() - d->pressOffset);
}

void StatusWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    d->dragging = false;
    setCursor(Qt::ArrowCursor);
}

void StatusWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        d->retranslate();
    QWidget::changeEvent(event);
}
