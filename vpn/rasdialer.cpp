#include "rasdialer.h"

#include "rasdialerimpl.h"

#include <QThread>

class RasDialerPrivate
{
public:
    QThread thread;
    RasDialerImpl *impl = nullptr; // deleted on the worker thread as it finishes
};

RasDialer::RasDialer(LogManager *logManager)
    : d(new RasDialerPrivate)
{
    d->impl = new RasDialerImpl(logManager);
    d->impl->moveToThread(&d->thread);
    // The impl's processes and timers belong to the worker thread: so does its end.
    QObject::connect(&d->thread, &QThread::finished, d->impl, &QObject::deleteLater);
    d->thread.setObjectName(QStringLiteral("RasDialer"));
    d->thread.start();
}

RasDialer::~RasDialer()
{
    d->thread.quit();
    d->thread.wait();
}

RasDialerImpl *RasDialer::impl() const
{
    return d->impl;
}
