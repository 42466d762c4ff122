#pragma once

#include <QDialog>

#include <memory>

class Core;
class LoginDialogPrivate;

// Asks for the account's user name and password and checks them with the
// provider before storing them.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    LoginDialog(Core *core, QWidget *parent);
    ~LoginDialog() override;

    // Fills the fields and checks them, as pressing the button does.
    void submit(const QString &username, const QString &password);

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void checkCredentials();
    void checkFinished();

private:
    void retranslate();

    std::unique_ptr<LoginDialogPrivate> d;
};
