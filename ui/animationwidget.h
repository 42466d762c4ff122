#pragma once

#include <QWidget>

#include <memory>

class AnimationWidgetPrivate;

// Plays a sprite strip: an image whose frames stand side by side, all of the same
// width (the image's width over the frame count). The widget is one frame large.
class AnimationWidget : public QWidget
{
    Q_OBJECT

public:
    explicit AnimationWidget(QWidget *parent = nullptr);
    ~AnimationWidget() override;

    // The strip is drawn at designWidth x designHeight times scaleFactor (the whole
    // strip, not one frame) when all three are positive; otherwise as the file is.
    void setImage(const QString &fileName, int frameCount, double scaleFactor = 1.0, int designWidth = 0,
        int designHeight = 0);
    // Milliseconds per frame; 80 unless set.
    void setInterval(int milliseconds);
    int interval() const;
    void start();
    void stop();
    bool isRunning() const;
    // Shows frame `frame` (0 is the first); a frame outside the strip is ignored.
    void showFrame(int frame);
    int currentFrame() const;
    int frameCount() const;

    QSize sizeHint() const override;

public slots:
    void nextImage();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<AnimationWidgetPrivate> d;
};
