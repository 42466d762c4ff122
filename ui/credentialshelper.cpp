#include "credentialshelper.h"

#include "context.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace {

// xdg-user-dir only reads a small file; a program that takes longer is stuck.
constexpr int FolderLookupTimeoutMs = 5000;
constexpr int LabelGap = 4;
constexpr int Frame = 3; // "#  " on the left, "  #" on the right

QString sheetFileName()
{
    return QStringLiteral("%1 Login.txt").arg(QCoreApplication::applicationName());
}

QString framed(const QString &inner)
{
    return QLatin1String("#  ") + inner + QLatin1String("  #");
}

} // namespace

class CredentialsHelperPrivate
{
public:
    void lookUpFolder();
    void folderFound(const QString &folder, bool desktop);

    CredentialsHelper *q = nullptr;
    Context *context = nullptr;
    QWidget *window = nullptr;
    QProcess *process = nullptr; // asking for the desktop folder; null when no save runs
    QTimer timeout;
    QString username;
    QString password;
};

void CredentialsHelperPrivate::lookUpFolder()
{
    process = new QProcess(q);
    QObject::connect(process, &QProcess::finished, q, [this](int exitCode, QProcess::ExitStatus status) {
        const QString folder = QFile::decodeName(process->readAllStandardOutput()).trimmed();
        const QFileInfo info(folder);
        // Without a desktop folder configured, xdg-user-dir names the home folder.
        if (status == QProcess::NormalExit && exitCode == 0 && info.isAbsolute() && info.isDir()
            && info.canonicalFilePath() != QFileInfo(QDir::homePath()).canonicalFilePath())
            folderFound(folder, true);
        else
            folderFound(QDir::homePath(), false);
    });
    QObject::connect(process, &QProcess::errorOccurred, q, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            folderFound(QDir::homePath(), false);
    });
    timeout.start();
    process->start(QStringLiteral("xdg-user-dir"), { QStringLiteral("DESKTOP") }, QIODevice::ReadOnly);
}

void CredentialsHelperPrivate::folderFound(const QString &folder, bool desktop)
{
    timeout.stop();
    process->disconnect(q);
    process->deleteLater();
    process = nullptr;

    const QString name = sheetFileName();
    const QString path = QDir(folder).filePath(name);
    const QString website = context->link(QStringLiteral("home"));
    // Written beside and renamed over the old sheet, so that an earlier file (with
    // whatever mode it had) is replaced by one only its owner can read.
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Text)
        && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (written) {
        const QByteArray bytes = CredentialsHelper::sheet(username, password, website).toUtf8();
        written = file.write(bytes) == bytes.size() && file.commit();
    }
    if (!written)
        file.cancelWriting();
    username.clear();
    password.clear();

    QMessageBox *box;
    if (!written) {
        box = new QMessageBox(QMessageBox::Warning, CredentialsHelper::tr("Login Credentials"),
            CredentialsHelper::tr("The login credentials could not be saved in the file %1: %2")
                .arg(QDir::toNativeSeparators(path), file.errorString()),
            QMessageBox::Ok, window);
    } else if (desktop) {
        box = new QMessageBox(QMessageBox::Information, CredentialsHelper::tr("Login Credentials"),
            CredentialsHelper::tr("The login credentials have been saved in the file %1 on your desktop.")
                .arg(name),
            QMessageBox::Ok, window);
    } else {
        box = new QMessageBox(QMessageBox::Information, CredentialsHelper::tr("Login Credentials"),
            CredentialsHelper::tr("The login credentials have been saved in the file %1 in your home folder.")
                .arg(name),
            QMessageBox::Ok, window);
    }
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    emit q->saved(written ? path : QString());
}

CredentialsHelper::CredentialsHelper(Context *context, QWidget *window)
    : QObject(window)
    , d(new CredentialsHelperPrivate)
{
    d->q = this;
    d->context = context;
    d->window = window;
    d->timeout.setSingleShot(true);
    d->timeout.setInterval(FolderLookupTimeoutMs);
    // Killing it ends the look-up through finished(), with the home folder.
    connect(&d->timeout, &QTimer::timeout, this, [this] { d->process->kill(); });
}

CredentialsHelper::~CredentialsHelper()
{
    if (d->process) {
        d->process->disconnect(this);
        d->process->kill();
        d->process->waitForFinished();
    }
}

QString CredentialsHelper::sheet(const QString &username, const QString &password, const QString &website)
{
    const QString application = QCoreApplication::applicationName();
    const QStringList labels { tr("Username:"), tr("Password:"), tr("Website:") };
    const QStringList values { username, password, website };
    const auto longest = [](const QStringList &texts) {
        qsizetype width = 0;
        for (const QString &text : texts)
            width = std::max(width, text.size());
        return width;
    };
    const qsizetype labelWidth = longest(labels);
    const qsizetype valueWidth = longest(values);
    const qsizetype contentWidth = labelWidth + LabelGap + valueWidth;
    const QString title = tr("Your %1 Login Credentials - Please keep them save!").arg(application);
    const qsizetype innerWidth = std::max(contentWidth, title.size());
    const qsizetype width = innerWidth + 2 * Frame;

    const QString fullRow(width, QLatin1Char('#'));
    const QString empty = framed(QString(innerWidth, QLatin1Char(' ')));
    const auto data = [&](int row) {
        const qsizetype indent = (innerWidth - contentWidth) / 2;
        const QString content = QString(indent, QLatin1Char(' ')) + labels.at(row).rightJustified(labelWidth)
            + QString(LabelGap, QLatin1Char(' ')) + values.at(row).leftJustified(valueWidth);
        return framed(content.leftJustified(innerWidth));
    };
    const qsizetype hashes = (width - application.size()) / 2 - 2;
    const QString footerStart
        = QString(hashes, QLatin1Char('#')) + QLatin1String("  ") + application + QLatin1String("  ");
    const QString footer = footerStart.leftJustified(width, QLatin1Char('#'));

    const QStringList lines { fullRow, empty, framed(title.rightJustified(innerWidth)), empty, fullRow, empty,
        empty, data(0), data(1), empty, data(2), empty, empty, fullRow, footer, fullRow };
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString CredentialsHelper::document(const QString &username, const QString &password, const QString &website)
{
    QFile file(QStringLiteral(":/html/trial.html"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QString page = QString::fromUtf8(file.readAll());
    QHash<QString, QString> values {
        { QStringLiteral("TITLE"), tr("%1 Login Credentials").arg(QCoreApplication::applicationName()) },
        { QStringLiteral("USERNAME_LABEL"), tr("Username") },
        { QStringLiteral("USERNAME"), username },
        { QStringLiteral("PASSWORD_LABEL"), tr("Password") },
        { QStringLiteral("PASSWORD"), password },
        { QStringLiteral("URL_LABEL"), tr("Website") },
        { QStringLiteral("URL"), website },
    };
    // One pass over the template, so that a value that looks like a placeholder
    // stays as it is; each placeholder is filled where it first occurs.
    static const QRegularExpression placeholder(
        QStringLiteral("__(TITLE|USERNAME_LABEL|USERNAME|PASSWORD_LABEL|PASSWORD|URL_LABEL|URL)__"));
    QString result;
    qsizetype done = 0;
    QRegularExpressionMatchIterator it = placeholder.globalMatch(page);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const auto value = values.constFind(match.captured(1));
        if (value == values.constEnd())
            continue;
        result += QStringView(page).mid(done, match.capturedStart() - done) + value->toHtmlEscaped();
        done = match.capturedEnd();
        values.erase(value);
    }
    result += QStringView(page).mid(done);
    return result;
}

void CredentialsHelper::save(const QString &username, const QString &password)
{
    // One save at a time; the sheet would be the same.
    if (d->process)
        return;
    d->username = username;
    d->password = password;
    d->lookUpFolder();
}

void CredentialsHelper::print(const QString &username, const QString &password)
{
    QPrinter printer;
    QPrintDialog dialog(&printer, d->window);
    dialog.setWindowTitle(tr("Print Credentials"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    QTextDocument page;
    page.setHtml(document(username, password, d->context->link(QStringLiteral("home"))));
    page.print(&printer);
}
