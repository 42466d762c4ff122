#include "debugpanel.h"

#include "configuration.h"
#include "core.h"
#include "credentialshelper.h"
#include "logmanager.h"
#include "networkmanager.h"
#include "stringformat.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>

class DebugPanelPrivate
{
public:
    Core *core = nullptr;
    QTabWidget *tabs = nullptr;
    QWidget *general = nullptr;
    QGroupBox *network = nullptr;
    QLabel *incomingLabel = nullptr;
    QLabel *outgoingLabel = nullptr;
    QLabel *countLabel = nullptr;
    QLabel *incoming = nullptr;
    QLabel *outgoing = nullptr;
    QLabel *count = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *printButton = nullptr;
    CredentialsHelper *credentials = nullptr;
    QPlainTextEdit *genericLog = nullptr;
    QPlainTextEdit *openVpnLog = nullptr;
    QPlainTextEdit *rasLog = nullptr;
    QList<QMetaObject::Connection> networkConnections;

    QPlainTextEdit *logView(QWidget *parent, LogManager::Level level) const
    {
        auto *view = new QPlainTextEdit(parent);
        view->setReadOnly(true);
        view->setLineWrapMode(QPlainTextEdit::NoWrap);
        view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        view->setPlainText(QString::fromUtf8(core->logManager()->data(level)));
        return view;
    }

    static void append(QPlainTextEdit *view, const QByteArray &data)
    {
        QTextCursor cursor(view->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QString::fromUtf8(data));
    }
};

DebugPanel::DebugPanel(Core *core, QWidget *parent)
    : QWidget(parent)
    , d(new DebugPanelPrivate)
{
    d->core = core;
    d->tabs = new QTabWidget(this);
    d->general = new QWidget(d->tabs);
    d->network = new QGroupBox(d->general);
    d->incomingLabel = new QLabel(d->network);
    d->outgoingLabel = new QLabel(d->network);
    d->countLabel = new QLabel(d->network);
    d->incoming = new QLabel(d->network);
    d->outgoing = new QLabel(d->network);
    d->count = new QLabel(d->network);
    auto *figures = new QFormLayout(d->network);
    figures->addRow(d->incomingLabel, d->incoming);
    figures->addRow(d->outgoingLabel, d->outgoing);
    figures->addRow(d->countLabel, d->count);
    d->saveButton = new QPushButton(d->general);
    d->printButton = new QPushButton(d->general);
    d->credentials = new CredentialsHelper(core->context(), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(d->saveButton);
    buttons->addWidget(d->printButton);
    buttons->addStretch();
    auto *general = new QVBoxLayout(d->general);
    general->addWidget(d->network);
    general->addLayout(buttons);
    general->addStretch();

    d->genericLog = d->logView(d->tabs, LogManager::GenericLevel);
    d->openVpnLog = d->logView(d->tabs, LogManager::OpenVpnLevel);
    d->rasLog = d->logView(d->tabs, LogManager::RasLevel);
    d->tabs->addTab(d->general, QString());
    d->tabs->addTab(d->genericLog, QString());
    d->tabs->addTab(d->openVpnLog, QString());
    d->tabs->addTab(d->rasLog, QString());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->tabs);

    LogManager *log = core->logManager();
    connect(log, &LogManager::genericData, this, &DebugPanel::genericData);
    connect(log, &LogManager::openVpnData, this, &DebugPanel::openVpnData);
    connect(log, &LogManager::rasVpnData, this, &DebugPanel::rasVpnData);
    connect(d->saveButton, &QPushButton::clicked, this, &DebugPanel::saveCredentialsToFile);
    connect(d->printButton, &QPushButton::clicked, this, &DebugPanel::printCredentials);
    retranslate();
    updateNetwork();
}

DebugPanel::~DebugPanel() = default;

void DebugPanel::retranslate()
{
    d->tabs->setTabText(0, tr("General"));
    d->tabs->setTabText(1, tr("Generic Log"));
    d->tabs->setTabText(2, tr("OpenVPN Log"));
    d->tabs->setTabText(3, tr("RAS Log"));
    d->network->setTitle(tr("App Server Communication"));
    d->incomingLabel->setText(tr("Incomming:"));
    d->outgoingLabel->setText(tr("Outgoing:"));
    d->countLabel->setText(tr("Request count:"));
    d->saveButton->setText(tr("Save Credentials"));
    d->printButton->setText(tr("Print Credentials"));
}

void DebugPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void DebugPanel::genericData(const QByteArray &data)
{
    DebugPanelPrivate::append(d->genericLog, data);
}

void DebugPanel::openVpnData(const QByteArray &data)
{
    DebugPanelPrivate::append(d->openVpnLog, data);
}

void DebugPanel::rasVpnData(const QByteArray &data)
{
    DebugPanelPrivate::append(d->rasLog, data);
}

void DebugPanel::updateNetwork()
{
    const NetworkManager *network = d->core->networkManager();
    d->incoming->setText(StringFormat::byteCount(network->totalBytesRead(), false));
    d->outgoing->setText(StringFormat::byteCount(network->totalBytesWritten(), false));
    d->count->setText(QString::number(network->messageCount()));
}

void DebugPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!d->networkConnections.isEmpty())
        return;
    NetworkManager *network = d->core->networkManager();
    d->networkConnections << connect(network, &NetworkManager::bytesRead, this, &DebugPanel::updateNetwork)
                          << connect(network, &NetworkManager::bytesWritten, this, &DebugPanel::updateNetwork);
    updateNetwork();
}

void DebugPanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    for (const QMetaObject::Connection &connection : std::as_const(d->networkConnections))
        disconnect(connection);
    d->networkConnections.clear();
}

void DebugPanel::saveCredentialsToFile()
{
    const Configuration *configuration = d->core->configuration();
    d->credentials->save(configuration->username(), configuration->password());
}

void DebugPanel::printCredentials()
{
    const Configuration *configuration = d->core->configuration();
    d->credentials->print(configuration->username(), configuration->password());
}
