#pragma once

#include <QDialog>

#include <memory>

class Core;
class WizardDialogPrivate;

// The first start: log in with an existing account, or ask the provider for a
// trial account for this computer.
class WizardDialog : public QDialog
{
    Q_OBJECT

public:
    explicit WizardDialog(Core *core, QWidget *parent = nullptr);
    ~WizardDialog() override;

public slots:
    void logIn();
    void requestTrial();

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void trialFinished();
    void pollCheckout();
    void checkoutFinished();

private:
    void retranslate();
    void complete(const QString &username, const QString &password);
    void showError(const QString &message);

    std::unique_ptr<WizardDialogPrivate> d;
};
