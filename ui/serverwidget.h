#pragma once

#include "geoip.h"
#include "vpnconnection.h"

#include <QColor>
#include <QStringList>
#include <QWidget>

#include <memory>

class ServerWidgetPrivate;
class VpnClient;

// The status window's location part: the flag of the server in hand and two
// lines on the state or, once connected, where the user appears.
class ServerWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ServerWidget(VpnClient *client, QWidget *parent = nullptr);
    ~ServerWidget() override;

    void setState(VpnConnection::State state);
    void setStateString(const QString &stateString);
    void setVpnIp(const GeoIp &geoIp);

    // The bold line and, where there is one, the normal line, as painted.
    QStringList texts() const;
    QColor textColor() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<ServerWidgetPrivate> d;
};
