#include "animationwidget.h"

#include "winutils.h"

#include <QPainter>
#include <QPixmap>
#include <QTimer>

class AnimationWidgetPrivate
{
public:
    explicit AnimationWidgetPrivate(AnimationWidget *q)
        : timer(new QTimer(q))
    {
        timer->setInterval(80);
    }

    QTimer *timer;
    QString fileName;
    QPixmap source; // the file as loaded
    QPixmap strip; // the source at the size it is drawn
    int frameCount = 1;
    int frame = 0;
    // In the strip's own pixels.
    int frameWidth = 0;
    int frameHeight = 0;
};

AnimationWidget::AnimationWidget(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<AnimationWidgetPrivate>(this))
{
    connect(d->timer, &QTimer::timeout, this, &AnimationWidget::nextImage);
}

AnimationWidget::~AnimationWidget() = default;

void AnimationWidget::setImage(
    const QString &fileName, int frameCount, double scaleFactor, int designWidth, int designHeight)
{
    const bool wasRunning = d->timer->isActive();
    d->timer->stop();

    frameCount = qMax(1, frameCount);
    if (fileName != d->fileName) {
        d->fileName = fileName;
        d->source = QPixmap(fileName);
    }
    if (frameCount != d->frameCount) {
        d->frameCount = frameCount;
        d->frame = 0;
    }

    d->strip = d->source;
    if (WinUtils::isDevicePixelRatioAware()) {
        // Qt scales by itself: the strip's pixels stand for device pixels.
        d->strip.setDevicePixelRatio(WinUtils::devicePixelRatio());
    } else {
        const QSize wanted(qRound(designWidth * scaleFactor), qRound(designHeight * scaleFactor));
        if (scaleFactor > 0 && designWidth > 0 && designHeight > 0 && !d->strip.isNull()
            && d->strip.size() != wanted)
            d->strip = d->strip.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        d->strip.setDevicePixelRatio(1.0);
    }
    d->frameWidth = d->strip.width() / d->frameCount;
    d->frameHeight = d->strip.height();

    if (wasRunning)
        d->timer->start();
    updateGeometry();
    update();
}

void AnimationWidget::setInterval(int milliseconds)
{
    d->timer->setInterval(milliseconds);
}

int AnimationWidget::interval() const
{
    return d->timer->interval();
}

void AnimationWidget::start()
{
    d->timer->start();
}

void AnimationWidget::stop()
{
    d->timer->stop();
}

bool AnimationWidget::isRunning() const
{
    return d->timer->isActive();
}

void AnimationWidget::showFrame(int frame)
{
    if (frame < 0 || frame >= d->frameCount)
        return;
    d->frame = frame;
    update();
}

int AnimationWidget::currentFrame() const
{
    return d->frame;
}

int AnimationWidget::frameCount() const
{
    return d->frameCount;
}

QSize AnimationWidget::sizeHint() const
{
    const qreal ratio = d->strip.devicePixelRatio();
    return QSize(qRound(d->frameWidth / ratio), qRound(d->frameHeight / ratio));
}

void AnimationWidget::nextImage()
{
    d->frame = (d->frame + 1) % d->frameCount;
    update();
}

void AnimationWidget::paintEvent(QPaintEvent *)
{
    if (d->frameWidth <= 0 || d->frameHeight <= 0)
        return;
    QPainter painter(this);
    const qreal ratio = d->strip.devicePixelRatio();
    const QRectF target(0, 0, d->frameWidth / ratio, d->frameHeight / ratio);
    painter.drawPixmap(target, d->strip, QRectF(d->frame * d->frameWidth, 0, d->frameWidth, d->frameHeight));
}
