#pragma once

#include "vpnserver.h"

#include <QDialog>

#include <memory>

class ConnectionErrorDialogPrivate;
class Core;

// One failed connection attempt: the server and what went wrong, with the offer to
// send the logs to the provider. Failures queue up behind it, so it says when it is
// gone.
class ConnectionErrorDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConnectionErrorDialog(Core *core, QWidget *parent = nullptr);
    ~ConnectionErrorDialog() override;

    void setError(const VpnServer &server, const QString &message);
    VpnServer server() const;
    QString message() const;

signals:
    // Once, after the report (if the user wanted one) is handed to the core.
    void closed();

public slots:
    void done(int result) override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<ConnectionErrorDialogPrivate> d;
};
