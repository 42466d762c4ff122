#pragma once

#include <QWidget>

#include <memory>

class Core;
class MyAccountPanel;
class UserPanelPrivate;
class UserStatus;

// The "My Account" tab: the account panel once the provider has described the
// account, a waiting page while the first status is on its way, and an invitation
// to sign in when no account is stored.
class UserPanel : public QWidget
{
    Q_OBJECT

public:
    // `window` is the main window; it holds the panel until the tabs take it.
    UserPanel(Core *core, MyAccountPanel *accountPanel, QWidget *window);
    ~UserPanel() override;

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void login();
    void variablesUpdated();
    void userStatusUpdated(const UserStatus &status);
    void retranslateUi();

private:
    void showPage();

    std::unique_ptr<UserPanelPrivate> d;
};
