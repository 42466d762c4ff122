#pragma once

#include <QDialog>

#include <memory>

class LogManager;
class TapInstallDialogPrivate;

// Explains that OpenVPN needs the kernel's tun device and sets it up (loads the
// tun module, creates the device node) when the user confirms.
class TapInstallDialog : public QDialog
{
    Q_OBJECT

public:
    TapInstallDialog(LogManager *logManager, QWidget *parent);
    ~TapInstallDialog() override;

    bool isInstalling() const;

signals:
    void tapInstallFinished(bool success);

public slots:
    void installDriver();
    // Escape ends the dialog as closing it does: not during the set-up, and with
    // tapInstallFinished().
    void done(int result) override;

private slots:
    void installDriverFinished();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<TapInstallDialogPrivate> d;
};
