#include "logpanel.h"

#include "core.h"
#include "logmanager.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVBoxLayout>

class LogPanelPrivate
{
public:
    QLabel *intro = nullptr;
    QPlainTextEdit *view = nullptr;
    QPushButton *copyButton = nullptr;
    QPushButton *saveButton = nullptr;
};

LogPanel::LogPanel(Core *core, QWidget *parent)
    : QWidget(parent)
    , d(new LogPanelPrivate)
{
    d->intro = new QLabel(this);
    d->intro->setWordWrap(true);
    d->view = new QPlainTextEdit(this);
    d->view->setReadOnly(true);
    d->view->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font(QStringLiteral("Droid Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    d->view->setFont(font);
    d->copyButton = new QPushButton(this);
    d->saveButton = new QPushButton(this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(d->copyButton);
    buttons->addWidget(d->saveButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->intro);
    layout->addWidget(d->view, 1);
    layout->addLayout(buttons);

    connect(d->copyButton, &QPushButton::clicked, this, &LogPanel::copyToClipboard);
    connect(d->saveButton, &QPushButton::clicked, this, &LogPanel::saveToFile);
    connect(core->logManager(), &LogManager::lineAdded, this, &LogPanel::lineAdded);
    retranslate();
}

LogPanel::~LogPanel() = default;

void LogPanel::retranslate()
{
    d->intro->setText(
        tr("This panel shows detailed information about your connections and connection attempts, "
           "which can be useful to solve upcoming issues together with our support staff."));
    d->copyButton->setText(tr("Copy to Clipboard"));
    d->saveButton->setText(tr("Save to File"));
}

void LogPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void LogPanel::lineAdded(const QString &line)
{
    d->view->appendPlainText(line);
}

void LogPanel::copyToClipboard()
{
    const QString text = d->view->toPlainText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void LogPanel::saveToFile()
{
    const QString name = QCoreApplication::applicationName() + QLatin1Char('_')
        + QDateTime::currentDateTime().toString(QStringLiteral("ddMMyyyy_HHmmss")) + QStringLiteral(".txt");
    // Qt reads the desktop folder from the same XDG user-dirs file that xdg-user-dir does.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString path = QFileDialog::getSaveFileName(this, tr("Save Log To"), QDir(folder).filePath(name));
    if (path.isEmpty())
        return;
    const QByteArray bytes = d->view->toPlainText().toUtf8();
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return;
    QMessageBox::warning(this, tr("Save Log To"),
        tr("The log could not be saved in the file %1: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString()));
}
