#include "ipchangewidget.h"

#include "animationwidget.h"
#include "core.h"
#include "hidpi.h"
#include "vpnclient.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QTimer>

namespace {

bool isChanging(VpnConnection::State state)
{
    return state == VpnConnection::Connecting || state == VpnConnection::Disconnecting;
}

} // namespace

class IpChangeWidgetPrivate
{
public:
    // A flag as drawn, loaded again only when the country or its look changes.
    struct Flag
    {
        bool loaded = false;
        QString code;
        bool grey = false;
        QPixmap pixmap;
    };

    IpChangeWidgetPrivate(IpChangeWidget *q, Core *core)
        : core(core)
        , loadingAnimation(new AnimationWidget(q))
        , dotTimer(new QTimer(q))
    {
    }

    // The right side's lines with `dots` dots after a changing state's text.
    QStringList rightLines(int dots) const;
    // `fallback` names the picture for a country without one of its own; none when empty.
    const QPixmap &flag(Flag &cache, const QString &code, bool grey, const QString &fallback);

    Core *core;
    GeoIp originalGeoIp;
    GeoIp vpnGeoIp;
    AnimationWidget *loadingAnimation;
    QTimer *dotTimer;
    VpnConnection::State state = VpnConnection::Disconnected;
    // OpenVPN's progress, such as "Authenticating"; only while the state changes.
    QString stateString;
    int dotCount = 0;
    Flag leftFlag;
    Flag rightFlag;

    const int margin = mHiDpiSize(4);
    const int spacing = mHiDpiSize(5);
    const int flagSize = mHiDpiSize(64);
    // Room for the longer German texts.
    const int textWidth = mHiDpiSize(220);
    const int lineHeight = mHiDpiSize(15);
};

QStringList IpChangeWidgetPrivate::rightLines(int dots) const
{
    const QString dotText(dots, QLatin1Char('.'));
    switch (state) {
    case VpnConnection::Disconnected:
        return { IpChangeWidget::tr("Not connected"), IpChangeWidget::tr("Please select a location") };
    case VpnConnection::Connecting:
        if (stateString.isEmpty())
            return { IpChangeWidget::tr("Connecting %1").arg(dotText) };
        return { stateString + dotText };
    case VpnConnection::Disconnecting:
        return { IpChangeWidget::tr("Disconnecting %1").arg(dotText) };
    case VpnConnection::Connected:
        break;
    }
    if (vpnGeoIp.isNull())
        return { IpChangeWidget::tr("Please wait ..."), IpChangeWidget::tr("Determening IP") };
    return { IpChangeWidget::tr("Visible Location:"), vpnGeoIp.location(),
        IpChangeWidget::tr("IP: %1").arg(vpnGeoIp.address()) };
}

const QPixmap &IpChangeWidgetPrivate::flag(
    Flag &cache, const QString &code, bool grey, const QString &fallback)
{
    if (cache.loaded && cache.code == code && cache.grey == grey)
        return cache.pixmap;
    cache.loaded = true;
    cache.code = code;
    cache.grey = grey;
    const QString prefix = mHiDpiFactor() > 1.0 ? QStringLiteral(":/countries/128x128_")
                                                : QStringLiteral(":/countries/64x64_");
    cache.pixmap = QPixmap();
    if (!code.isEmpty())
        cache.pixmap.load(prefix + code + QStringLiteral(".png"));
    if (cache.pixmap.isNull() && !fallback.isEmpty())
        cache.pixmap.load(prefix + fallback + QStringLiteral(".png"));
    if (cache.pixmap.isNull())
        return cache.pixmap;
    me_adapt_pixmap(cache.pixmap, mHiDpiFactor(), 64, 64);
    if (grey)
        mDesaturate(cache.pixmap, 0.9f);
    return cache.pixmap;
}

IpChangeWidget::IpChangeWidget(Core *core, QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<IpChangeWidgetPrivate>(this, core))
{
    if (mHiDpiFactor() > 1.0)
        d->loadingAnimation->setImage(
            QStringLiteral(":/animations/horizontal_loading@2x.png"), 38, mHiDpiFactor(), 3800, 10);
    else
        d->loadingAnimation->setImage(
            QStringLiteral(":/animations/horizontal_loading.png"), 38, mHiDpiFactor(), 3800, 10);
    d->loadingAnimation->setInterval(50);
    d->dotTimer->setInterval(500);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    layout->addWidget(d->loadingAnimation, 0, Qt::AlignCenter);
    layout->addStretch();

    VpnClient *client = core->vpnClient();
    connect(d->dotTimer, &QTimer::timeout, this, &IpChangeWidget::updateText);
    connect(core, &Core::originalIpChanged, this, &IpChangeWidget::originalIpChanged);
    connect(core, &Core::vpnIpChanged, this, &IpChangeWidget::vpnIpChanged);
    connect(client, &VpnClient::vpnConnectionStateChanged, this, &IpChangeWidget::vpnConnectionStateChanged);
    connect(client, &VpnClient::vpnConnectionStateStringChanged, this,
        &IpChangeWidget::vpnConnectionStateStringChanged);
    // The right flag shows the server in hand.
    connect(client, &VpnClient::currentServerChanged, this, qOverload<>(&IpChangeWidget::update));

    d->originalGeoIp = core->originalIp();
    d->vpnGeoIp = core->vpnIp();
    vpnConnectionStateChanged(client->state());
}

IpChangeWidget::~IpChangeWidget() = default;

QSize IpChangeWidget::sizeHint() const
{
    const int side = d->margin + d->flagSize + d->spacing + d->textWidth + d->spacing;
    return QSize(2 * side + d->loadingAnimation->sizeHint().width(), d->flagSize + 2 * d->margin);
}

QStringList IpChangeWidget::leftTexts() const
{
    const QString first = d->vpnGeoIp.isNull() ? tr("Visible Location:") : tr("Hidden Location:");
    if (d->originalGeoIp.isNull())
        return { first, tr("Please wait ..."), tr("Determening IP") };
    return { first, d->originalGeoIp.location(), tr("IP: %1").arg(d->originalGeoIp.address()) };
}

QStringList IpChangeWidget::rightTexts() const
{
    return d->rightLines(d->dotCount);
}

QColor IpChangeWidget::rightTextColor() const
{
    const bool down = d->state == VpnConnection::Disconnected || d->state == VpnConnection::Disconnecting;
    return down && d->vpnGeoIp.isNull() ? QColor(153, 0, 0) : QColor(Qt::black);
}

void IpChangeWidget::originalIpChanged(const GeoIp &geoIp)
{
    d->originalGeoIp = geoIp;
    update();
}

void IpChangeWidget::vpnIpChanged(const GeoIp &geoIp)
{
    d->vpnGeoIp = geoIp;
    update();
}

void IpChangeWidget::vpnConnectionStateChanged(VpnConnection::State state)
{
    d->state = state;
    if (isChanging(state)) {
        d->dotCount = 0;
        d->loadingAnimation->start();
        d->dotTimer->start();
    } else {
        d->stateString.clear();
        d->loadingAnimation->stop();
        d->loadingAnimation->showFrame(0);
        d->dotTimer->stop();
    }
    update();
}

void IpChangeWidget::vpnConnectionStateStringChanged(const QString &stateString)
{
    // A late progress text of a finished attempt would otherwise open the next one.
    if (!isChanging(d->state))
        return;
    d->stateString = stateString;
    update();
}

void IpChangeWidget::updateText()
{
    d->dotCount = (d->dotCount + 1) % 4;
    update();
}

void IpChangeWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const QRect animation = d->loadingAnimation->geometry();
    const int flagTop = (height() - d->flagSize) / 2;
    const bool hidden = !d->vpnGeoIp.isNull();

    // Left: where the provider sees the user without the VPN.
    const QString leftCode = d->originalGeoIp.country().code().toLower();
    const QPixmap &leftFlag = d->flag(d->leftFlag, leftCode, hidden, QString());
    if (!leftFlag.isNull())
        painter.drawPixmap(d->margin, flagTop, leftFlag);
    const int leftX = d->margin + d->flagSize + d->spacing;
    const int leftWidth = qMax(0, animation.left() - d->spacing - leftX);
    const QStringList left = leftTexts();
    int y = (height() - int(left.size()) * d->lineHeight) / 2;
    for (int i = 0; i < left.size(); ++i) {
        painter.setPen(i == 0 && hidden ? QColor(119, 119, 119) : QColor(Qt::black));
        painter.drawText(QRect(leftX, y, leftWidth, d->lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
            metrics.elidedText(left.at(i), Qt::ElideRight, leftWidth));
        y += d->lineHeight;
    }

    // Right: where the user appears through the VPN.
    QString rightCode = d->core->vpnClient()->currentServer().country().code().toLower();
    if (rightCode.isEmpty())
        rightCode = d->vpnGeoIp.country().code().toLower();
    const int rightFlagX = width() - d->margin - d->flagSize;
    painter.drawPixmap(rightFlagX, flagTop, d->flag(d->rightFlag, rightCode, false, QStringLiteral("blank")));
    const int rightEdge = rightFlagX - d->spacing;
    const int rightWidth = rightEdge - (animation.right() + 1) - d->spacing;
    const QStringList right = rightTexts();
    // Aligned as with three dots, so that the text stands still while the dots change.
    const QStringList widest = d->rightLines(3);
    painter.setPen(rightTextColor());
    y = (height() - int(right.size()) * d->lineHeight) / 2;
    for (int i = 0; i < right.size(); ++i) {
        const int lineWidth = qBound(0, metrics.horizontalAdvance(widest.at(i)), rightWidth);
        painter.drawText(QRect(rightEdge - lineWidth, y, lineWidth, d->lineHeight),
            Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(right.at(i), Qt::ElideRight, lineWidth));
        y += d->lineHeight;
    }
}

void IpChangeWidget::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        update();
    QWidget::changeEvent(event);
}
