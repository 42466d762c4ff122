#include "bandwidthwidget.h"

#include "configuration.h"
#include "core.h"
#include "fontawesome.h"
#include "hidpi.h"
#include "stringformat.h"
#include "trafficmanager.h"
#include "vpnclient.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>
#include <cmath>

class BandwidthWidgetPrivate
{
public:
    BandwidthWidgetPrivate(BandwidthWidget *q, Core *core)
        : q(q)
        , core(core)
        , repaintTimer(new QTimer(q))
        , traffic(core->vpnClient()->trafficManager())
    {
    }

    // Renders the arrow and the current rate into the cache.
    void updateCached(const QColor &textColor);

    BandwidthWidget *q;
    Core *core;
    QTimer *repaintTimer;
    TrafficManager *traffic;
    bool download = true;
    bool speedBits = false;
    QColor color;
    QPixmap cache;
    bool cacheDirty = true;
    QFont font;
    QIcon arrow;
};

void BandwidthWidgetPrivate::updateCached(const QColor &textColor)
{
    const qint64 rate = download ? traffic->rateIn() : traffic->rateOut();
    const QString text = BandwidthWidget::tr("%1/s").arg(StringFormat::byteCount(rate, speedBits));
    const QFontMetrics metrics(font);
    const int arrowSize = metrics.height();
    const int gap = mHiDpiSize(2);
    const QSize size(arrowSize + gap + metrics.horizontalAdvance(text), metrics.height());
    const qreal ratio = q->devicePixelRatioF();
    cache = QPixmap(size * ratio);
    cache.setDevicePixelRatio(ratio);
    // Half-covered chart beneath, so that the figure stays legible over a high curve.
    cache.fill(QColor(255, 255, 255, 160));
    QPainter painter(&cache);
    arrow.paint(&painter, QRect(0, 0, arrowSize, arrowSize));
    painter.setFont(font);
    painter.setPen(textColor);
    painter.drawText(QRect(arrowSize + gap, 0, size.width() - arrowSize - gap, size.height()),
        Qt::AlignLeft | Qt::AlignVCenter, text);
    cacheDirty = false;
}

BandwidthWidget::BandwidthWidget(Core *core, QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<BandwidthWidgetPrivate>(this, core))
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    d->font = QFont(QStringLiteral("SansSerif"));
    d->font.setPixelSize(mHiDpiSize(10));
    d->repaintTimer->setInterval(50);

    connect(d->repaintTimer, &QTimer::timeout, this, qOverload<>(&BandwidthWidget::update));
    connect(d->traffic, &TrafficManager::rateChanged, this, &BandwidthWidget::rateChanged);
    connect(core->configuration(), &Configuration::changed, this, &BandwidthWidget::prepare);
    prepare();
}

BandwidthWidget::~BandwidthWidget() = default;

void BandwidthWidget::setDownload(bool download)
{
    d->download = download;
    prepare();
}

QSize BandwidthWidget::sizeHint() const
{
    return mHiDpiSize(100, 14);
}

void BandwidthWidget::rateChanged()
{
    d->cacheDirty = true;
}

void BandwidthWidget::prepare()
{
    if (!isEnabled())
        d->color = QColor(119, 119, 119);
    else
        d->color = d->download ? QColor(92, 184, 92) : QColor(240, 173, 78);
    d->arrow = FontAwesome::instance()->icon(
        d->download ? QStringLiteral("long-arrow-down") : QStringLiteral("long-arrow-up"),
        { { QStringLiteral("color"), d->color } });
    d->speedBits = d->core->configuration()->speedBits();
    d->cacheDirty = true;
    update();
}

void BandwidthWidget::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int h = height();
    if (w < mHiDpiSize(5) || h < mHiDpiSize(5))
        return;

    QList<qint32> received;
    QList<qint32> sent;
    d->traffic->history(&received, &sent);
    const QList<qint32> &samples = d->download ? received : sent;
    const qint32 peak = samples.isEmpty() ? 0 : *std::max_element(samples.cbegin(), samples.cend());
    // The highest sample reaches 90 % of the height; with no traffic the curve lies flat.
    const qreal scale = peak > 0 ? 0.9 * h / peak : 0.0;
    const qreal step = qreal(w) / qMax(1, int(samples.size()) - 1);

    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (isEnabled()) {
        painter.setPen(QPen(QColor(102, 102, 102, 40), 0.1));
        for (int quarter = 1; quarter < 4; ++quarter)
            painter.drawLine(QPointF(0, h * quarter / 4.0), QPointF(w, h * quarter / 4.0));
        const qreal gridStep = step * std::ceil(mHiDpiSize(10) / step);
        for (qreal x = gridStep; x < w; x += gridStep)
            painter.drawLine(QPointF(x, 0), QPointF(x, h));
    }

    QPainterPath curve(QPointF(0, h));
    for (int i = 0; i < samples.size(); ++i)
        curve.lineTo(i * step, h - samples.at(i) * scale);
    curve.lineTo(w, h);
    curve.closeSubpath();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(d->color.darker(150), 1));
    painter.setBrush(d->color);
    painter.drawPath(curve);

    if (d->cacheDirty)
        d->updateCached(isEnabled() ? QColor(51, 51, 51) : d->color);
    painter.drawPixmap(mHiDpiSize(2), mHiDpiSize(1), d->cache);
}

void BandwidthWidget::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::LanguageChange)
        prepare();
    QWidget::changeEvent(event);
}

void BandwidthWidget::showEvent(QShowEvent *event)
{
    d->repaintTimer->start();
    QWidget::showEvent(event);
}

void BandwidthWidget::hideEvent(QHideEvent *event)
{
    // Nothing to draw for while concealed.
    d->repaintTimer->stop();
    QWidget::hideEvent(event);
}
