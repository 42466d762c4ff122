#include "connectionerrordialog.h"

#include "core.h"
#include "errorreport.h"
#include "fontawesome.h"
#include "hidpi.h"
#include "logmanager.h"
#include "platformmanager.h"
#include "styledbutton.h"

#include <QCheckBox>
#include <QColor>
#include <QCoreApplication>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int ExclamationCircle = 61546;
constexpr int IconSize = 48;

} // namespace

class ConnectionErrorDialogPrivate
{
public:
    Core *core = nullptr;
    VpnServer server;
    QString message;
    // done() has run once: later calls neither report nor announce again.
    bool ended = false;
    QLabel *iconLabel = nullptr;
    QLabel *headingLabel = nullptr;
    QLabel *serverLabel = nullptr;
    QLabel *serverValue = nullptr;
    QLabel *messageLabel = nullptr;
    QLabel *messageValue = nullptr;
    QCheckBox *reportBox = nullptr;
    StyledButton *okButton = nullptr;
};

ConnectionErrorDialog::ConnectionErrorDialog(Core *core, QWidget *parent)
    : QDialog(parent)
    , d(new ConnectionErrorDialogPrivate)
{
    d->core = core;
    d->iconLabel = new QLabel(this);
    d->iconLabel->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    if (FontAwesome *font = FontAwesome::instance()) {
        const QVariantMap colour { { QStringLiteral("color"), QVariant::fromValue(QColor(Qt::darkRed)) } };
        const int size = mHiDpiSize(IconSize);
        d->iconLabel->setPixmap(font->icon(ExclamationCircle, colour).pixmap(QSize(size, size)));
    }
    d->headingLabel = new QLabel(this);
    QFont bold = d->headingLabel->font();
    bold.setBold(true);
    d->headingLabel->setFont(bold);
    d->serverLabel = new QLabel(this);
    d->serverValue = new QLabel(this);
    d->serverValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    d->messageLabel = new QLabel(this);
    d->messageValue = new QLabel(this);
    d->messageValue->setWordWrap(true);
    d->messageValue->setTextFormat(Qt::PlainText);
    d->messageValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    d->reportBox = new QCheckBox(this);
    d->reportBox->setChecked(true);
    d->okButton = new StyledButton(this);
    d->okButton->setStyle(StyledButton::Primary);
    d->okButton->setDefault(true);
    connect(d->okButton, &QPushButton::clicked, this, &QDialog::accept);

    auto *form = new QFormLayout;
    form->addRow(d->serverLabel, d->serverValue);
    form->addRow(d->messageLabel, d->messageValue);
    auto *text = new QVBoxLayout;
    text->addWidget(d->headingLabel);
    text->addLayout(form);
    text->addStretch(1);
    text->addWidget(d->reportBox);
    auto *body = new QHBoxLayout;
    body->addWidget(d->iconLabel);
    body->addLayout(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(d->okButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);

    retranslate();
    setMinimumSize(mHiDpiSize(400, 200));
    resize(sizeHint());
}

ConnectionErrorDialog::~ConnectionErrorDialog() = default;

void ConnectionErrorDialog::setError(const VpnServer &server, const QString &message)
{
    d->server = server;
    d->message = message;
    d->serverValue->setText(QString::number(server.id()));
    d->messageValue->setText(message);
}

VpnServer ConnectionErrorDialog::server() const
{
    return d->server;
}

QString ConnectionErrorDialog::message() const
{
    return d->message;
}

void ConnectionErrorDialog::done(int result)
{
    // Escape, the window's close button and OK all end here; the first one counts.
    const bool first = !std::exchange(d->ended, true);
    if (first && d->reportBox->isChecked()) {
        ErrorReport report;
        report.setServerId(d->server.id());
        report.setServerName(d->server.host());
        report.setMessage(d->message);
        report.setItems(d->core->errorReportItems());
        d->core->addErrorReport(report);
    }
    QDialog::done(result);
    if (first)
        emit closed();
}

void ConnectionErrorDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

void ConnectionErrorDialog::retranslate()
{
    setWindowTitle(tr("Connection failed"));
    d->headingLabel->setText(tr("Unable to establish VPN connection:"));
    d->serverLabel->setText(tr("Server-ID:"));
    d->messageLabel->setText(tr("Error Message:"));
    d->reportBox->setText(tr("Send this info to our tech staff for troubleshooting"));
    d->okButton->setText(tr("OK"));
}
