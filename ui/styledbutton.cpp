#include "styledbutton.h"

#include "animationwidget.h"
#include "hidpi.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

namespace {

struct Look
{
    QColor top;
    QColor bottom;
    QColor border;
    QColor text;
    QColor shadow;
};

Look look(int style)
{
    switch (style) {
    case StyledButton::Primary:
        return { QColor(51, 122, 183), QColor(38, 90, 136), QColor(36, 85, 128), Qt::white, Qt::transparent };
    case StyledButton::Success:
        return { QColor(92, 184, 92), QColor(65, 150, 65), QColor(62, 143, 62), Qt::white, Qt::transparent };
    case StyledButton::Warning:
        return { QColor(240, 173, 78), QColor(235, 147, 22), QColor(227, 141, 19), Qt::white,
            Qt::transparent };
    case StyledButton::Danger:
        return { QColor(217, 83, 79), QColor(193, 46, 42), QColor(185, 44, 40), Qt::white, Qt::transparent };
    default:
        return { Qt::white, QColor(224, 224, 224), QColor(204, 204, 204), Qt::black, Qt::white };
    }
}

} // namespace

class StyledButtonPrivate
{
public:
    int style = StyledButton::Plain;
    AnimationWidget *animation = nullptr; // made by the first setAnimation()
    // Around the text, and the busy animation's place left of it.
    const int horizontalPadding = mHiDpiSize(15);
    const int verticalPadding = mHiDpiSize(6);
    const int animationInset = mHiDpiSize(10);
    const int animationGap = mHiDpiSize(2);
    const int border = mHiDpiSize(1);
    const int radius = mHiDpiSize(4);
    const int shadowOffset = mHiDpiSize(1);

    void placeAnimation(const QWidget *button) const
    {
        animation->move(animationInset, (button->height() - animation->height()) / 2);
    }
};

StyledButton::StyledButton(QWidget *parent)
    : StyledButton(QString(), parent)
{
}

StyledButton::StyledButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
    , d(std::make_unique<StyledButtonPrivate>())
{
    setAttribute(Qt::WA_Hover);
}

StyledButton::~StyledButton() = default;

void StyledButton::setStyle(int style)
{
    if (style == d->style)
        return;
    d->style = style;
    update();
}

int StyledButton::buttonStyle() const
{
    return d->style;
}

void StyledButton::setAnimation(const QString &fileName, int frames, double scale, int width, int height)
{
    if (!d->animation) {
        d->animation = new AnimationWidget(this);
        d->animation->setInterval(40);
        d->animation->setAttribute(Qt::WA_TransparentForMouseEvents);
        d->animation->hide();
    }
    d->animation->setImage(fileName, frames, scale, width, height);
    d->animation->resize(d->animation->sizeHint());
    d->placeAnimation(this);
    updateGeometry();
}

void StyledButton::startAnimation()
{
    if (!d->animation)
        return;
    d->animation->show();
    d->animation->start();
}

void StyledButton::stopAnimation()
{
    if (!d->animation)
        return;
    d->animation->stop();
    d->animation->showFrame(0);
    d->animation->hide();
}

bool StyledButton::isAnimationRunning() const
{
    return d->animation && d->animation->isRunning();
}

QSize StyledButton::sizeHint() const
{
    ensurePolished();
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, this->text());
    int side = d->horizontalPadding;
    int height = text.height();
    if (d->animation) {
        // As much room on the right, so that the centred text clears the animation.
        const QSize frame = d->animation->sizeHint();
        side = qMax(side, d->animationInset + frame.width() + d->animationGap);
        height = qMax(height, frame.height());
    }
    return QSize(text.width() + 2 * side, height + 2 * d->verticalPadding);
}

QSize StyledButton::minimumSizeHint() const
{
    return sizeHint();
}

void StyledButton::paintEvent(QPaintEvent *)
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const Look colors = look(d->style);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.65);

    const qreal half = d->border / 2.0;
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), d->radius, d->radius);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, colors.top);
    gradient.setColorAt(1, colors.bottom);
    painter.setPen(QPen(colors.border, d->border));
    painter.setBrush(gradient);
    painter.drawPath(shape);

    const bool pressed = option.state & (QStyle::State_Sunken | QStyle::State_On);
    if (isEnabled() && (pressed || (option.state & QStyle::State_MouseOver))) {
        QColor shade = colors.bottom.darker(130);
        shade.setAlpha(pressed ? 120 : 60);
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade);
        painter.drawPath(shape);
    }
    if ((option.state & QStyle::State_HasFocus) && (option.state & QStyle::State_KeyboardFocusChange)) {
        const qreal inset = d->border * 2.5;
        painter.setPen(QPen(colors.border.darker(140), d->border));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(
            QRectF(rect()).adjusted(inset, inset, -inset, -inset), d->radius - 1, d->radius - 1);
    }

    const int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
    painter.setFont(font());
    if (colors.shadow.alpha() > 0) {
        painter.setPen(colors.shadow);
        painter.drawText(rect().translated(d->shadowOffset, d->shadowOffset), flags, text());
    }
    painter.setPen(colors.text);
    painter.drawText(rect(), flags, text());
}

void StyledButton::resizeEvent(QResizeEvent *event)
{
    QPushButton::resizeEvent(event);
    if (d->animation)
        d->placeAnimation(this);
}
