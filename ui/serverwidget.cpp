#include "serverwidget.h"

#include "hidpi.h"
#include "vpnclient.h"

#include <QEvent>
#include <QPainter>

namespace {

bool isChanging(VpnConnection::State state)
{
    return state == VpnConnection::Connecting || state == VpnConnection::Disconnecting;
}

} // namespace

class ServerWidgetPrivate
{
public:
    const QPixmap &flag(const QString &code, bool grey);

    VpnClient *client = nullptr;
    VpnConnection::State state = VpnConnection::Disconnected;
    // OpenVPN's progress, such as "Authenticating"; only while the state changes.
    QString stateString;
    GeoIp vpnGeoIp;
    // The flag as drawn, loaded again only when the country or its look changes.
    bool flagLoaded = false;
    QString flagCode;
    bool flagGrey = false;
    QPixmap flagPixmap;

    const int margin = mHiDpiSize(4);
    const int flagSize = mHiDpiSize(32);
};

const QPixmap &ServerWidgetPrivate::flag(const QString &code, bool grey)
{
    if (flagLoaded && code == flagCode && grey == flagGrey)
        return flagPixmap;
    flagLoaded = true;
    flagCode = code;
    flagGrey = grey;
    // Flags come in 32 and 64 px; the nearer one is scaled to the screen.
    const QString prefix = mHiDpiFileName2(QStringLiteral(":/countries/%1x%1_"), 32);
    flagPixmap = QPixmap();
    if (!code.isEmpty())
        flagPixmap.load(prefix + code + QStringLiteral(".png"));
    if (flagPixmap.isNull())
        flagPixmap.load(prefix + QStringLiteral("blank.png"));
    if (flagPixmap.isNull())
        return flagPixmap;
    me_adapt_pixmap(flagPixmap, mHiDpiFactor(), 32, 32);
    if (grey)
        mDesaturate(flagPixmap, 0.9f);
    return flagPixmap;
}

ServerWidget::ServerWidget(VpnClient *client, QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<ServerWidgetPrivate>())
{
    d->client = client;
    d->state = client->state();
    // The flag shows the server in hand.
    connect(client, &VpnClient::currentServerChanged, this, qOverload<>(&ServerWidget::update));
}

ServerWidget::~ServerWidget() = default;

void ServerWidget::setState(VpnConnection::State state)
{
    d->state = state;
    if (!isChanging(state))
        d->stateString.clear();
    update();
}

void ServerWidget::setStateString(const QString &stateString)
{
    // A late progress text of a finished attempt would otherwise open the next one.
    if (!isChanging(d->state))
        return;
    d->stateString = stateString;
    update();
}

void ServerWidget::setVpnIp(const GeoIp &geoIp)
{
    d->vpnGeoIp = geoIp;
    update();
}

QStringList ServerWidget::texts() const
{
    switch (d->state) {
    case VpnConnection::Disconnected:
        return { tr("Not connected") };
    case VpnConnection::Connecting:
        return { d->stateString.isEmpty() ? tr("Connecting ...") : d->stateString };
    case VpnConnection::Disconnecting:
        return { tr("Disconnecting ...") };
    case VpnConnection::Connected:
        break;
    }
    if (d->vpnGeoIp.isNull())
        return { tr("Please wait ..."), tr("Determening IP") };
    return { d->vpnGeoIp.location(), tr("IP: %1").arg(d->vpnGeoIp.address()) };
}

QColor ServerWidget::textColor() const
{
    const bool down = d->state == VpnConnection::Disconnected || d->state == VpnConnection::Disconnecting;
    return down && d->vpnGeoIp.isNull() ? QColor(153, 0, 0) : QColor(Qt::black);
}

void ServerWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.fillRect(0, 0, width(), 1, Qt::black);
    painter.fillRect(0, height() - 1, width(), 1, Qt::black);
    painter.fillRect(width() - 1, 0, 1, height(), Qt::black);

    QString code = d->client->currentServer().country().code().toLower();
    if (code.isEmpty())
        code = d->vpnGeoIp.country().code().toLower();
    painter.drawPixmap(d->margin, (height() - d->flagSize) / 2, d->flag(code, isChanging(d->state)));

    const int textX = d->margin + d->flagSize + d->margin;
    const int textWidth = qMax(0, width() - 1 - d->margin - textX);
    const QStringList lines = texts();
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold);
    const int lineHeight = boldMetrics.height();
    int y = (height() - int(lines.size()) * lineHeight) / 2;
    painter.setPen(textColor());
    for (int i = 0; i < lines.size(); ++i) {
        painter.setFont(i == 0 ? bold : font());
        const QFontMetrics metrics = painter.fontMetrics();
        painter.drawText(QRect(textX, y, textWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
            metrics.elidedText(lines.at(i), Qt::ElideRight, textWidth));
        y += lineHeight;
    }
}

void ServerWidget::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        update();
    QWidget::changeEvent(event);
}
