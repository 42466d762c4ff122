#include "helppanel.h"

#include "alertwidget.h"
#include "context.h"
#include "core.h"
#include "createticketrequest.h"
#include "errorreport.h"
#include "errorreportrequest.h"
#include "linklabel.h"
#include "logmanager.h"
#include "message.h"
#include "networkmanager.h"
#include "platformmanager.h"
#include "userstatus.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

namespace {
constexpr int TutorialIcon = 61529;
constexpr int FaqIcon = 61736;
constexpr int HomepageIcon = 61461;
} // namespace

class HelpPanelPrivate
{
public:
    void openLink(const QString &name) const
    {
        const QString url = core->context()->link(name);
        if (!url.isEmpty())
            PlatformManager::openUrl(QUrl(url));
    }

    void setFormEnabled(bool enabled)
    {
        email->setEnabled(enabled);
        subject->setEnabled(enabled);
        message->setEnabled(enabled);
        attachLog->setEnabled(enabled);
        attachSystem->setEnabled(enabled);
        send->setEnabled(enabled && !email->text().isEmpty() && !subject->text().isEmpty()
            && !message->toPlainText().isEmpty());
    }

    // Withdraws a request that has not gone out; one already sent is deleted by the
    // transport when its answer comes.
    void abandon(Request *request) const
    {
        if (!request)
            return;
        request->disconnect();
        request->setParent(nullptr);
        if (core->networkManager()->cancelRequest(request))
            delete request;
    }

    Core *core = nullptr;
    QLabel *intro = nullptr;
    LinkLabel *tutorial = nullptr;
    LinkLabel *faq = nullptr;
    LinkLabel *homepage = nullptr;
    QGroupBox *reportBox = nullptr;
    QLabel *reportText = nullptr;
    QPushButton *sendReport = nullptr;
    AlertWidget *alert = nullptr;
    QGroupBox *contactBox = nullptr;
    QLabel *emailLabel = nullptr;
    QLabel *subjectLabel = nullptr;
    QLabel *messageLabel = nullptr;
    QLineEdit *email = nullptr;
    QLineEdit *subject = nullptr;
    QTextEdit *message = nullptr;
    QCheckBox *attachLog = nullptr;
    QCheckBox *attachSystem = nullptr;
    QPushButton *send = nullptr;
    ErrorReportRequest *reportRequest = nullptr;
    CreateTicketRequest *ticketRequest = nullptr;
};

HelpPanel::HelpPanel(Core *core, QWidget *parent)
    : QWidget(parent)
    , d(new HelpPanelPrivate)
{
    d->core = core;
    d->intro = new QLabel(this);
    d->intro->setWordWrap(true);
    d->tutorial = new LinkLabel(TutorialIcon, this);
    d->faq = new LinkLabel(FaqIcon, this);
    d->homepage = new LinkLabel(HomepageIcon, this);

    d->reportBox = new QGroupBox(this);
    d->reportText = new QLabel(d->reportBox);
    d->reportText->setWordWrap(true);
    d->sendReport = new QPushButton(d->reportBox);
    auto *report = new QHBoxLayout(d->reportBox);
    report->addWidget(d->reportText, 1);
    report->addWidget(d->sendReport);

    d->alert = new AlertWidget(core, Message::Error, this);
    d->alert->hide();

    d->contactBox = new QGroupBox(this);
    d->emailLabel = new QLabel(d->contactBox);
    d->subjectLabel = new QLabel(d->contactBox);
    d->messageLabel = new QLabel(d->contactBox);
    d->email = new QLineEdit(d->contactBox);
    d->subject = new QLineEdit(d->contactBox);
    d->message = new QTextEdit(d->contactBox);
    d->message->setAcceptRichText(false);
    d->attachLog = new QCheckBox(d->contactBox);
    d->attachLog->setChecked(true);
    d->attachSystem = new QCheckBox(d->contactBox);
    d->attachSystem->setChecked(true);
    d->send = new QPushButton(d->contactBox);
    d->send->setEnabled(false);
    auto *sendRow = new QHBoxLayout;
    sendRow->addStretch();
    sendRow->addWidget(d->send);
    auto *contact = new QFormLayout(d->contactBox);
    contact->addRow(d->emailLabel, d->email);
    contact->addRow(d->subjectLabel, d->subject);
    contact->addRow(d->messageLabel, d->message);
    contact->addRow(QString(), d->attachLog);
    contact->addRow(QString(), d->attachSystem);
    contact->addRow(sendRow);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->intro);
    layout->addWidget(d->tutorial);
    layout->addWidget(d->faq);
    layout->addWidget(d->homepage);
    layout->addWidget(d->reportBox);
    layout->addWidget(d->alert);
    layout->addWidget(d->contactBox, 1);

    connect(d->tutorial, &LinkLabel::clicked, this, &HelpPanel::showTutorial);
    connect(d->faq, &LinkLabel::clicked, this, &HelpPanel::showFaq);
    connect(d->homepage, &LinkLabel::clicked, this, &HelpPanel::showHomepage);
    connect(d->sendReport, &QPushButton::clicked, this, &HelpPanel::sendReport);
    connect(d->email, &QLineEdit::textChanged, this, &HelpPanel::formChanged);
    connect(d->subject, &QLineEdit::textChanged, this, &HelpPanel::formChanged);
    connect(d->message, &QTextEdit::textChanged, this, &HelpPanel::formChanged);
    connect(d->send, &QPushButton::clicked, this, &HelpPanel::sendTicket);
    connect(core, &Core::userStatusUpdated, this, &HelpPanel::userStatusUpdated);
    connect(core, &Core::variablesUpdated, this, &HelpPanel::variablesUpdated);

    retranslate();
    variablesUpdated();
    d->email->setFocus();
}

HelpPanel::~HelpPanel()
{
    d->abandon(d->reportRequest);
    d->abandon(d->ticketRequest);
}

void HelpPanel::retranslate()
{
    d->intro->setText(
        tr("In case of any problems or questions, please visit the following links for quick help. "
           "If you can't find help there, please contact us directly using the form below."));
    d->tutorial->setText(tr("Tutorial"));
    d->faq->setText(tr("Frequently Asked Questions"));
    d->homepage->setText(tr("Homepage"));
    d->reportBox->setTitle(tr("Automatic Error Reporting"));
    d->reportText->setText(tr("In case of any errors, use this button to automatically send us your VPN log "
                              "for further analysis."));
    d->sendReport->setText(tr("Send Report"));
    d->contactBox->setTitle(tr("Contact"));
    d->emailLabel->setText(tr("Your E-Mail:"));
    d->subjectLabel->setText(tr("Subject:"));
    d->messageLabel->setText(tr("Message:"));
    d->attachLog->setText(tr("Attach Error Log (recommended)"));
    d->attachSystem->setText(tr("Attach Operating System Info (recommended)"));
    d->send->setText(tr("Send"));
}

void HelpPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void HelpPanel::hideEvent(QHideEvent *event)
{
    if (d->alert->kind() == Message::Success)
        d->alert->hide();
    QWidget::hideEvent(event);
}

void HelpPanel::userStatusUpdated(const UserStatus &status)
{
    d->reportBox->setVisible(!status.isNull());
}

void HelpPanel::variablesUpdated()
{
    // The links are looked up when clicked, so only the account decides what shows.
    userStatusUpdated(d->core->context()->userStatus());
}

void HelpPanel::showTutorial()
{
    d->openLink(QStringLiteral("tutorial"));
}

void HelpPanel::showFaq()
{
    d->openLink(QStringLiteral("faq"));
}

void HelpPanel::showHomepage()
{
    d->openLink(QStringLiteral("home"));
}

void HelpPanel::sendReport()
{
    if (d->reportRequest)
        return;
    ErrorReport report;
    report.setItems(d->core->errorReportItems());

    d->sendReport->setEnabled(false);
    d->reportRequest = new ErrorReportRequest;
    d->reportRequest->setReport(report);
    connect(d->reportRequest, &Request::requestFinished, this, &HelpPanel::errorReportRequestFinished);
    d->core->networkManager()->addRequest(d->reportRequest);
}

void HelpPanel::errorReportRequestFinished()
{
    if (!d->reportRequest)
        return;
    ErrorReportRequest *request = std::exchange(d->reportRequest, nullptr);
    request->deleteLater();
    d->sendReport->setEnabled(true);
    // A report that did not arrive is never announced as sent.
    auto *box = request->isFailed()
        ? new QMessageBox(QMessageBox::Warning, tr("Report was not sent"),
              tr("The report could not be transmitted. Please check your internet connection and try again."),
              QMessageBox::Ok, this)
        : new QMessageBox(QMessageBox::Information, tr("Report was sent"),
              tr("The report was transmitted successfully."), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void HelpPanel::formChanged()
{
    d->setFormEnabled(!d->ticketRequest);
}

void HelpPanel::sendTicket()
{
    if (d->ticketRequest)
        return;
    d->ticketRequest
        = new CreateTicketRequest(d->email->text(), d->subject->text(), d->message->toPlainText());
    // Parented so that the request in flight can be found among the panel's children.
    d->ticketRequest->setParent(this);
    if (d->attachLog->isChecked())
        d->ticketRequest->setLog(d->core->logManager()->attachableLogs());
    if (d->attachSystem->isChecked())
        d->ticketRequest->setSystemDetails(PlatformManager::systemInfo());
    d->alert->hide();
    d->setFormEnabled(false);
    connect(d->ticketRequest, &Request::requestFinished, this, &HelpPanel::createTicketRequestFinished);
    d->core->networkManager()->addRequest(d->ticketRequest);
}

void HelpPanel::createTicketRequestFinished()
{
    if (!d->ticketRequest)
        return;
    const QStringList errors = d->ticketRequest->errors();
    const QString success = d->ticketRequest->success();
    d->ticketRequest->deleteLater();
    d->ticketRequest = nullptr;
    d->setFormEnabled(true);
    if (!errors.isEmpty()) {
        d->alert->setKind(Message::Error);
        d->alert->setText(errors.join(QStringLiteral("\r\n")));
        d->alert->show();
    } else if (!success.isEmpty()) {
        d->alert->setKind(Message::Success);
        d->alert->setText(success);
        d->alert->show();
        d->email->clear();
        d->subject->clear();
        d->message->clear();
    }
}
