#pragma once

#include <QDialog>
#include <QPixmap>

#include <memory>

class AnimationWidgetWrapper;
class Core;
class WizardDialogPrivate;
class WizardPage;

// The first start: sets up the provider account, either an existing one or a new
// trial account that the provider creates from an e-mail address, and checks it
// with the provider before storing it. Its pages are made on first use.
class WizardDialog : public QDialog
{
    Q_OBJECT

public:
    explicit WizardDialog(Core *core, QWidget *parent = nullptr);
    ~WizardDialog() override;

    Core *core() const;
    WizardPage *currentPage() const;

    // The spinning activity animation with a caption, stopped, as the wizard and its
    // pages show it while they wait.
    static AnimationWidgetWrapper *createActivityIndicator(QWidget *parent);
    // The logo of the dialogs' head bands, 44 px high.
    static QPixmap logo();

    // What the pages ask of the dialog. `kind` is a Message::Type.
    void showAlert(const QString &text, int kind);
    void concealAlert();
    // Busy: the pages cannot be used and the activity animation runs.
    void setBusy(bool busy);
    void setBackEnabled(bool enabled);
    // Enabling Next also makes it the default button.
    void setNextEnabled(bool enabled);

public slots:
    void moveToPreviousPage();
    void moveToNextPage();
    // Asks first; the account set-up is not finished.
    void cancelWizard();
    void setLoginPage();
    void setTrialWaitingPage();
    // The provider accepted the account: store it and show what comes next.
    void setLogin(const QString &username, const QString &password, bool trial);
    // Every way of closing ends here: on the completed page the set-up is kept.
    void done(int result) override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<WizardDialogPrivate> d;
};
