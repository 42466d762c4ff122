#pragma once

#include "vpnconnection.h"

#include <QStackedWidget>

#include <memory>

class IconWidgetPrivate;

// The status window's icon: the application's mark in grey while disconnected,
// in colour while connected, and an animation while the connection changes. Its
// bottom-right corner opens the window's menu.
class IconWidget : public QStackedWidget
{
    Q_OBJECT

public:
    explicit IconWidget(QWidget *parent = nullptr);
    ~IconWidget() override;

    void setState(VpnConnection::State state);

signals:
    // The mouse came into the bottom-right corner; once until it leaves or enters the icon again.
    void hotspotEntered();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    std::unique_ptr<IconWidgetPrivate> d;
};
