#include "rasvpn.h"

#include "rasdialer.h"
#include "rasdialerimpl.h"

#include <QTimer>

class RasVpnPrivate
{
public:
    LogManager *logManager = nullptr;
    std::unique_ptr<RasDialer> dialer; // made by the first dial
};

RasVpn::RasVpn(LogManager *logManager, QObject *parent)
    : QObject(parent)
    , d(new RasVpnPrivate)
{
    d->logManager = logManager;
    qRegisterMetaType<VpnServer>();
    qRegisterMetaType<VpnConfiguration>();
    qRegisterMetaType<VpnConnection::State>("VpnConnection::State");
}

RasVpn::~RasVpn() = default;

bool RasVpn::dial(const VpnServer &server, const VpnConfiguration &configuration)
{
    if (!d->dialer) {
        d->dialer = std::make_unique<RasDialer>(d->logManager);
        RasDialerImpl *impl = d->dialer->impl();
        connect(impl, &RasDialerImpl::stateChanged, this, &RasVpn::stateChanged, Qt::QueuedConnection);
        connect(impl, &RasDialerImpl::byteCount, this, &RasVpn::byteCount, Qt::QueuedConnection);
        connect(impl, &RasDialerImpl::connectionError, this, &RasVpn::connectionError, Qt::QueuedConnection);
    }
    d->dialer->impl()->setDialParameters(server, configuration);
    QTimer::singleShot(0, d->dialer->impl(), &RasDialerImpl::dialInternal);
    return true;
}

void RasVpn::hangUp()
{
    if (d->dialer)
        QTimer::singleShot(0, d->dialer->impl(), &RasDialerImpl::hangUpInternal);
}
