#pragma once

#include <QWidget>

#include <memory>

class BandwidthWidgetPrivate;
class Core;

// A chart of the last 100 seconds of received or sent traffic with the current
// rate over it, green for download and orange for upload; grey without a grid
// while disabled (not connected).
class BandwidthWidget : public QWidget
{
    Q_OBJECT

public:
    explicit BandwidthWidget(Core *core, QWidget *parent = nullptr);
    ~BandwidthWidget() override;

    // True for the received traffic, false for the sent traffic.
    void setDownload(bool download);

    QSize sizeHint() const override;

public slots:
    // A new one-second sample is in.
    void rateChanged();
    // Colours, arrow and units again, after a change of state or preferences.
    void prepare();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    std::unique_ptr<BandwidthWidgetPrivate> d;
};
