#include "animationwidgetwrapper.h"

#include "animationwidget.h"

#include <QBoxLayout>
#include <QLabel>

class AnimationWidgetWrapperPrivate
{
public:
    AnimationWidget *animation = nullptr;
    QLabel *caption = nullptr;
};

AnimationWidgetWrapper::AnimationWidgetWrapper(Qt::Orientation orientation, QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<AnimationWidgetWrapperPrivate>())
{
    d->animation = new AnimationWidget(this);
    d->caption = new QLabel(this);
    if (orientation == Qt::Vertical) {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addStretch(1);
        layout->addWidget(d->animation, 0, Qt::AlignHCenter);
        layout->addWidget(d->caption, 0, Qt::AlignHCenter);
        layout->addStretch(1);
        d->caption->setAlignment(Qt::AlignCenter);
    } else {
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(d->animation, 0, Qt::AlignVCenter);
        layout->addWidget(d->caption, 0, Qt::AlignVCenter);
        layout->addStretch(1);
    }
}

AnimationWidgetWrapper::~AnimationWidgetWrapper() = default;

void AnimationWidgetWrapper::setText(const QString &text)
{
    d->caption->setText(text);
}

QString AnimationWidgetWrapper::text() const
{
    return d->caption->text();
}

AnimationWidget *AnimationWidgetWrapper::animation() const
{
    return d->animation;
}

void AnimationWidgetWrapper::setTextColor(const QColor &color)
{
    QPalette palette = d->caption->palette();
    palette.setColor(QPalette::WindowText, color);
    d->caption->setPalette(palette);
}
