#include "serverdetailsdialog.h"

#include "core.h"
#include "hidpi.h"
#include "mapwidget.h"
#include "stringformat.h"
#include "vpnmanager.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QLabel *pinLabel(MapWidget::Pin pin, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(MapWidget::pinPixmap(pin));
    return label;
}

} // namespace

class ServerDetailsDialogPrivate
{
public:
    Core *core = nullptr;
    VpnServer server;
    // Where the user is without the VPN, as the core last told; null until known.
    GeoIp originalIp;
    MapWidget *map = nullptr;
    QLabel *userLegend = nullptr;
    QLabel *serverLegend = nullptr;
    QLabel *nameLabel = nullptr;
    QLabel *countryLabel = nullptr;
    QLabel *locationLabel = nullptr;
    QLabel *distanceLabel = nullptr;
    QLabel *pingLabel = nullptr;
    QLabel *connectionLabel = nullptr;
    QLabel *nameValue = nullptr;
    QLabel *countryValue = nullptr;
    QLabel *locationValue = nullptr;
    QLabel *distanceValue = nullptr;
    QLabel *pingValue = nullptr;
    QLabel *connectionValue = nullptr;

    // Metres: measured from the user's location where both places are known,
    // else what the record keeps.
    int distance() const
    {
        const Coordinate own = originalIp.coord();
        const Coordinate place = server.location().coord();
        if (!own.isNull() && !place.isNull())
            return place.distanceTo(own);
        return server.distance();
    }
};

ServerDetailsDialog::ServerDetailsDialog(Core *core, QWidget *parent)
    : QDialog(parent)
    , d(std::make_unique<ServerDetailsDialogPrivate>())
{
    d->core = core;
    d->originalIp = core->originalIp();
    d->map = new MapWidget(this);

    d->userLegend = new QLabel(this);
    d->serverLegend = new QLabel(this);
    auto *legend = new QHBoxLayout;
    legend->addWidget(pinLabel(MapWidget::UserPin, this));
    legend->addWidget(d->userLegend);
    legend->addSpacing(mHiDpiSize(20));
    legend->addWidget(pinLabel(MapWidget::ServerPin, this));
    legend->addWidget(d->serverLegend);
    legend->addStretch();

    auto *form = new QFormLayout;
    const auto addRow = [this, form](QLabel *&label, QLabel *&value) {
        label = new QLabel(this);
        value = new QLabel(this);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label, value);
    };
    addRow(d->nameLabel, d->nameValue);
    addRow(d->countryLabel, d->countryValue);
    addRow(d->locationLabel, d->locationValue);
    addRow(d->distanceLabel, d->distanceValue);
    addRow(d->pingLabel, d->pingValue);
    addRow(d->connectionLabel, d->connectionValue);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->map, 0, Qt::AlignHCenter);
    layout->addLayout(legend);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    retranslate();

    connect(core, &Core::originalIpChanged, this, [this](const GeoIp &geoIp) {
        d->originalIp = geoIp;
        serverChanged();
    });
    VpnManager *catalogue = core->vpnManager();
    connect(catalogue, &VpnManager::vpnServersChanged, this, &ServerDetailsDialog::serverChanged);
    // A round of pings changes every server in turn; only this one's matters here.
    connect(catalogue, &VpnManager::vpnServerChanged, this, [this](int index) {
        if (!d->server.isNull() && d->core->vpnManager()->server(index).id() == d->server.id())
            serverChanged();
    });
}

ServerDetailsDialog::~ServerDetailsDialog() = default;

void ServerDetailsDialog::setServer(const VpnServer &server)
{
    d->server = server;
    refresh();
}

void ServerDetailsDialog::serverChanged()
{
    if (!d->server.isNull())
        setServer(d->core->vpnManager()->serverById(d->server.id()));
}

void ServerDetailsDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

void ServerDetailsDialog::retranslate()
{
    d->userLegend->setText(tr("Your Location"));
    d->serverLegend->setText(tr("Server Location"));
    d->nameLabel->setText(tr("Name:"));
    d->countryLabel->setText(tr("Country:"));
    d->locationLabel->setText(tr("Location:"));
    d->distanceLabel->setText(tr("Distance:"));
    d->pingLabel->setText(tr("Ping: "));
    d->connectionLabel->setText(tr("Last Connection:"));
    refresh();
}

void ServerDetailsDialog::refresh()
{
    const VpnServer &server = d->server;
    d->map->setLocations(server, d->originalIp.coord());
    d->nameValue->setText(server.host());
    d->countryValue->setText(server.country().name());
    d->locationValue->setText(server.location().name());
    // As in the list, a distance or ping of zero or less is unknown or not measured.
    const int distance = d->distance();
    d->distanceValue->setText(distance > 0 ? tr("%1 km").arg(distance / 1000) : QString());
    d->pingValue->setText(server.ping() >= 1 ? tr("%1 ms").arg(server.ping()) : QString());
    QString connection;
    if (!server.isNull())
        connection = server.connectionTime().isNull() ? tr("Never")
                                                      : StringFormat::dateTime(server.connectionTime());
    d->connectionValue->setText(connection);
    setWindowTitle(server.isNull() ? tr("VPN Location Details") : server.host());
}
