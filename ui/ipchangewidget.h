#pragma once

#include "geoip.h"
#include "vpnconnection.h"

#include <QColor>
#include <QStringList>
#include <QWidget>

#include <memory>

class Core;
class IpChangeWidgetPrivate;

// Where the provider sees the user (left, with the flag of the original geo-IP)
// and where the user appears or will appear through the VPN (right, with the
// flag of the server), with a loading animation between them while the
// connection changes. It follows the core and the connection controller by itself.
class IpChangeWidget : public QWidget
{
    Q_OBJECT

public:
    explicit IpChangeWidget(Core *core, QWidget *parent = nullptr);
    ~IpChangeWidget() override;

    QSize sizeHint() const override;

    // The lines of each side as they are painted, top first.
    QStringList leftTexts() const;
    QStringList rightTexts() const;
    QColor rightTextColor() const;

public slots:
    void originalIpChanged(const GeoIp &geoIp);
    void vpnIpChanged(const GeoIp &geoIp);
    void vpnConnectionStateChanged(VpnConnection::State state);
    void vpnConnectionStateStringChanged(const QString &stateString);
    // The next count of dots after a changing state's text.
    void updateText();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<IpChangeWidgetPrivate> d;
};
