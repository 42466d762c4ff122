#include "headpanel.h"

#include "connectbutton.h"
#include "core.h"
#include "hidpi.h"
#include "ipchangewidget.h"
#include "vpnclient.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

class HeadPanelPrivate
{
public:
    ConnectButton *button = nullptr;
};

HeadPanel::HeadPanel(Core *core, QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<HeadPanelPrivate>())
{
    QPixmap logo(
        mHiDpiFactor() > 1.0 ? QStringLiteral(":/images/logo@2x.png") : QStringLiteral(":/images/logo.png"));
    const int logoHeight = 44;
    if (!logo.isNull())
        me_adapt_pixmap(logo, mHiDpiFactor(), logoHeight * logo.width() / logo.height(), logoHeight);
    auto *logoLabel = new QLabel(this);
    logoLabel->setPixmap(logo);

    auto *ipChange = new IpChangeWidget(core, this);
    d->button = new ConnectButton(this);
    d->button->setState(core->vpnClient()->state());

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(mHiDpiSize(10), 0, mHiDpiSize(10), 0);
    layout->addWidget(logoLabel);
    layout->addStretch();
    layout->addWidget(ipChange, 0, Qt::AlignCenter);
    layout->addStretch();
    layout->addWidget(d->button, 0, Qt::AlignVCenter);

    connect(d->button, &ConnectButton::clicked, this, &HeadPanel::connectButtonClicked);
    connect(core->vpnClient(), &VpnClient::vpnConnectionStateChanged, this,
        &HeadPanel::vpnConnectionStateChanged);
}

HeadPanel::~HeadPanel() = default;

void HeadPanel::vpnConnectionStateChanged(VpnConnection::State state)
{
    d->button->setState(state);
}

void HeadPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.fillRect(0, height() - 1, width(), 1, Qt::black);
}
