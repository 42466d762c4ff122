#pragma once

#include <QWidget>

#include <memory>

class Core;
class MyAccountPanelPrivate;
class UserStatus;

// The account as the provider describes it: the label and value rows of the latest
// status, a way to log in with another account and the provider's control panel.
class MyAccountPanel : public QWidget
{
    Q_OBJECT

public:
    // `window` is the main window, over which the login dialog opens.
    MyAccountPanel(Core *core, QWidget *window, QWidget *parent = nullptr);
    ~MyAccountPanel() override;

protected slots:
    void userStatusUpdated(const UserStatus &status);
    void changeLogin();
    void openAccountHome();

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<MyAccountPanelPrivate> d;
};
