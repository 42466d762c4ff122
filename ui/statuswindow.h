#pragma once

#include "geoip.h"
#include "vpnconnection.h"

#include <QWidget>

#include <memory>

class Core;
class StatusWindowPrivate;

// The small floating indicator that stays on top of other windows: an icon of the
// connection state, and by the user's choice the location and the download and
// upload charts. It is dragged with the mouse; its menu opens on a right click
// or from the icon's bottom-right corner. It follows the connection controller
// and the geo-IP answers by itself; its choices live in the settings.
class StatusWindow : public QWidget
{
    Q_OBJECT

public:
    explicit StatusWindow(Core *core, QWidget *parent = nullptr);
    ~StatusWindow() override;

public slots:
    void showContextMenu();
    // To the stored position, or to the default one when none is stored or the
    // stored one is no longer on any screen.
    void restorePosition();
    void savePosition();
    void setShowLocation(bool show);
    void setShowDownload(bool show);
    void setShowUpload(bool show);
    // 20 px in from the bottom-right corner of the primary screen's available area.
    void moveToDefaultPosition();
    void vpnConnectionStateChanged(VpnConnection::State state);
    void vpnConnectionStateStringChanged(const QString &stateString);

protected slots:
    void closeConnection();
    void vpnIpChanged(const GeoIp &geoIp);

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<StatusWindowPrivate> d;
};
