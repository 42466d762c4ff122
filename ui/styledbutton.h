#pragma once

#include <QPushButton>

#include <memory>

class StyledButtonPrivate;

// A push button in one of a few colour schemes, drawn flat with a soft gradient,
// that can show a busy animation at its left while work goes on.
class StyledButton : public QPushButton
{
    Q_OBJECT

public:
    enum Style {
        Plain = 0,
        Primary = 1,
        Success = 3,
        Warning = 4,
        Danger = 5,
    };
    Q_ENUM(Style)

    explicit StyledButton(QWidget *parent = nullptr);
    explicit StyledButton(const QString &text, QWidget *parent = nullptr);
    ~StyledButton() override;

    using QWidget::setStyle;
    // A value of Style; any other value draws as Plain.
    void setStyle(int style);
    int buttonStyle() const;

    // A sprite strip of `frames` frames, drawn at width x height times scale (see
    // AnimationWidget::setImage).
    void setAnimation(const QString &fileName, int frames, double scale, int width, int height);
    void startAnimation();
    void stopAnimation();
    bool isAnimationRunning() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::unique_ptr<StyledButtonPrivate> d;
};
