#pragma once

#include "vpn.h"

#include <QDialog>

#include <memory>

class VpnFailureDialogPrivate;

// Said once per run when one protocol family keeps failing: another protocol may
// work, and without root rights, running elevated may.
class VpnFailureDialog : public QDialog
{
    Q_OBJECT

public:
    VpnFailureDialog(QWidget *parent, Vpn::Protocol protocol);
    ~VpnFailureDialog() override;

signals:
    // An elevated copy of the program was started: this run should end.
    void quitRequested();

public slots:
    void done(int result) override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<VpnFailureDialogPrivate> d;
};
