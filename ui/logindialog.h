#pragma once

#include <QDialog>

#include <memory>

class Core;
class LoginDialogPrivate;

// Asks for the account's username and password and checks them with the
// provider before storing them.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    LoginDialog(Core *core, QWidget *parent);
    ~LoginDialog() override;

    // Fills the fields and checks them, as pressing OK does.
    void submit(const QString &username, const QString &password);

public slots:
    // Closing cancels a check still running.
    void done(int result) override;

private slots:
    void passwordHintClicked(const QString &link);
    void signupHintClicked(const QString &link);
    void variablesUpdated();
    void loginChanged();
    void checkLogin();
    void loginCheckRequestFinished();

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<LoginDialogPrivate> d;
};
