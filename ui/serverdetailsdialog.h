#pragma once

#include "vpnserver.h"

#include <QDialog>

#include <memory>

class Core;
class ServerDetailsDialogPrivate;

// One server of the list: where it is on the world map beside the user's own
// location, and its figures. It follows the catalogue while it is open.
class ServerDetailsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ServerDetailsDialog(Core *core, QWidget *parent = nullptr);
    ~ServerDetailsDialog() override;

    void setServer(const VpnServer &server);

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void serverChanged();

private:
    void retranslate();
    void refresh();

    std::unique_ptr<ServerDetailsDialogPrivate> d;
};
