#pragma once

#include "vpnconnection.h"

#include <QWidget>

#include <memory>

class Core;
class HeadPanelPrivate;

// The band at the top of the main window: the logo, where the user is seen from
// and where they will appear, and the connect button. It follows the connection
// controller and the geo-IP answers by itself.
class HeadPanel : public QWidget
{
    Q_OBJECT

public:
    explicit HeadPanel(Core *core, QWidget *parent = nullptr);
    ~HeadPanel() override;

signals:
    void connectButtonClicked();

public slots:
    void vpnConnectionStateChanged(VpnConnection::State state);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<HeadPanelPrivate> d;
};
