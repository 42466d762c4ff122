#pragma once

#include <QWidget>

#include <memory>

class AnimationWidget;
class AnimationWidgetWrapperPrivate;

// An animation with a caption: stacked and centred for Qt::Vertical, otherwise
// side by side, caption on the right.
class AnimationWidgetWrapper : public QWidget
{
    Q_OBJECT

public:
    explicit AnimationWidgetWrapper(Qt::Orientation orientation = Qt::Horizontal, QWidget *parent = nullptr);
    ~AnimationWidgetWrapper() override;

    void setText(const QString &text);
    QString text() const;
    AnimationWidget *animation() const;
    void setTextColor(const QColor &color);

private:
    std::unique_ptr<AnimationWidgetWrapperPrivate> d;
};
