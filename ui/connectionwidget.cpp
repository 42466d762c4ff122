#include "connectionwidget.h"

#include "bandwidthwidget.h"
#include "hidpi.h"

#include <QHBoxLayout>
#include <QPainter>

class ConnectionWidgetPrivate
{
public:
    void updateVisibility(ConnectionWidget *q) const
    {
        // A widget not yet shown keeps what it is told and appears with its window.
        download->setVisible(showDownload);
        upload->setVisible(showUpload);
        q->setVisible(showDownload || showUpload);
    }

    BandwidthWidget *download = nullptr;
    BandwidthWidget *upload = nullptr;
    bool showDownload = true;
    bool showUpload = true;
};

ConnectionWidget::ConnectionWidget(Core *core, QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<ConnectionWidgetPrivate>())
{
    d->download = new BandwidthWidget(core, this);
    d->download->setDownload(true);
    d->upload = new BandwidthWidget(core, this);
    d->upload->setDownload(false);
    for (BandwidthWidget *chart : { d->download, d->upload }) {
        chart->setFixedSize(mHiDpiSize(100, 32));
        chart->setEnabled(false);
    }

    auto *layout = new QHBoxLayout(this);
    // One pixel above and below for the frame lines the location part also has.
    layout->setContentsMargins(mHiDpiSize(5), 1, mHiDpiSize(5), 1);
    layout->setSpacing(mHiDpiSize(5));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(d->download);
    layout->addWidget(d->upload);
}

ConnectionWidget::~ConnectionWidget() = default;

void ConnectionWidget::setShowDownload(bool show)
{
    if (d->showDownload == show)
        return;
    d->showDownload = show;
    d->updateVisibility(this);
}

void ConnectionWidget::setShowUpload(bool show)
{
    if (d->showUpload == show)
        return;
    d->showUpload = show;
    d->updateVisibility(this);
}

void ConnectionWidget::setConnected(bool connected)
{
    d->download->setEnabled(connected);
    d->upload->setEnabled(connected);
}

void ConnectionWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.fillRect(0, 0, width(), 1, Qt::black);
    painter.fillRect(0, height() - 1, width(), 1, Qt::black);
    painter.fillRect(width() - 1, 0, 1, height(), Qt::black);
}
