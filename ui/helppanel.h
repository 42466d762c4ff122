#pragma once

#include <QWidget>

#include <memory>

class Core;
class HelpPanelPrivate;
class UserStatus;

// Help for the user: the provider's tutorial, FAQ and home page, an automatic
// error report with the logs, and a support ticket through a contact form.
class HelpPanel : public QWidget
{
    Q_OBJECT

public:
    HelpPanel(Core *core, QWidget *parent = nullptr);
    ~HelpPanel() override;

public slots:
    void userStatusUpdated(const UserStatus &status);
    void showTutorial();
    void showFaq();
    void showHomepage();
    void variablesUpdated();
    void sendReport();
    void errorReportRequestFinished();
    void formChanged();
    void sendTicket();
    void createTicketRequestFinished();

protected:
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<HelpPanelPrivate> d;
};
