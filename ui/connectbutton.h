#pragma once

#include "vpnconnection.h"

#include <QWidget>

#include <memory>

class ConnectButtonPrivate;

// The round button of the head panel: "play" in green while disconnected, "stop"
// in red in every other state; hovering fills it with that colour.
class ConnectButton : public QWidget
{
    Q_OBJECT

public:
    explicit ConnectButton(QWidget *parent = nullptr);
    ~ConnectButton() override;

    QSize sizeHint() const override;

public slots:
    void setState(VpnConnection::State state);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    std::unique_ptr<ConnectButtonPrivate> d;
};
