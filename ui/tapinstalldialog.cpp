#include "tapinstalldialog.h"

#include "hidpi.h"
#include "logmanager.h"
#include "winutils.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {

// Loads the module and, where the kernel has it built in but the node is
// missing (as in some containers), creates the device node.
const char *const SetupScript = "modprobe tun 2>&1; "
                                "if [ ! -c \"$1\" ]; then mkdir -p \"$(dirname \"$1\")\" && mknod -m 0666 \"$1\" c 10 200; fi; "
                                "[ -c \"$1\" ] && echo success";

} // namespace

class TapInstallDialogPrivate
{
public:
    LogManager *logManager = nullptr;
    bool installing = false;
    bool success = false;
    bool announced = false; // tapInstallFinished() was emitted
    QProcess *process = nullptr;
    QLabel *icon = nullptr;
    QLabel *text = nullptr;
    QWidget *progress = nullptr;
    QLabel *progressLabel = nullptr;
    QPushButton *installButton = nullptr;
    QDialogButtonBox *buttons = nullptr;
};

TapInstallDialog::TapInstallDialog(LogManager *logManager, QWidget *parent)
    : QDialog(parent)
    , d(new TapInstallDialogPrivate)
{
    d->logManager = logManager;
    setMinimumWidth(mHiDpiSize(480));
    setMaximumWidth(mHiDpiSize(480));

    d->icon = new QLabel(this);
    d->icon->setPixmap(mHiDpiPixmap3(QStringLiteral(":/images/openvpn%1.png"), 32, true));
    d->icon->setAlignment(Qt::AlignTop);
    d->text = new QLabel(this);
    d->text->setWordWrap(true);
    auto *top = new QHBoxLayout;
    top->addWidget(d->icon);
    top->addWidget(d->text, 1);

    d->progress = new QWidget(this);
    d->progressLabel = new QLabel(d->progress);
    auto *bar = new QProgressBar(d->progress);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    auto *progressLayout = new QVBoxLayout(d->progress);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    progressLayout->addWidget(d->progressLabel);
    progressLayout->addWidget(bar);
    d->progress->hide();

    d->buttons = new QDialogButtonBox(this);
    d->installButton = d->buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    connect(d->buttons, &QDialogButtonBox::accepted, this, &TapInstallDialog::installDriver);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(d->progress);
    layout->addWidget(d->buttons);
    retranslate();
    resize(width(), sizeHint().height());
}

TapInstallDialog::~TapInstallDialog()
{
    if (d->process) {
        d->process->disconnect(this);
        d->process->kill();
        d->process->waitForFinished(1000);
    }
}

bool TapInstallDialog::isInstalling() const
{
    return d->installing;
}

void TapInstallDialog::retranslate()
{
    setWindowTitle(tr("Set Up the Tunnel Device"));
    d->installButton->setText(tr("Set Up"));
    d->text->setText(tr("<b>%1 needs the kernel's tunnel device (<i>/dev/net/tun</i>) to establish an OpenVPN "
                        "connection, and it is not available on this computer.<br/>Without it VPN connections cannot "
                        "be established. This is only required once.</b><br/><br/>Click '%2' to load the tun module "
                        "and create the device.")
                         .arg(QCoreApplication::applicationName(), d->installButton->text()));
    d->progressLabel->setText(tr("Setting up the tunnel device. Please wait ..."));
}

void TapInstallDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

void TapInstallDialog::installDriver()
{
    if (d->installing)
        return;
    d->installing = true;
    d->installButton->setEnabled(false);
    d->progress->show();
    resize(width(), sizeHint().height());

    d->process = new QProcess(this);
    connect(d->process, &QProcess::finished, this, &TapInstallDialog::installDriverFinished);
    connect(d->process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            installDriverFinished();
    });
    d->process->start(QStringLiteral("sh"), {QStringLiteral("-c"), QString::fromLatin1(SetupScript), QStringLiteral("sh"),
                                             WinUtils::tunDevicePath()});
}

void TapInstallDialog::installDriverFinished()
{
    d->process->readAllStandardError();
    const QString output = QString::fromUtf8(d->process->readAllStandardOutput());
    d->logManager->addData(LogManager::OpenVpnLevel, "[[[ Tunnel device set-up: " + output.toUtf8().trimmed() + " ]]]\r\n");
    d->installing = false;
    d->process->disconnect(this);
    d->process->deleteLater();
    d->process = nullptr;
    d->success = output.contains(QLatin1String("success"), Qt::CaseInsensitive);
    close();
}

void TapInstallDialog::done(int result)
{
    if (d->installing)
        return;
    QDialog::done(result);
    if (!std::exchange(d->announced, true))
        emit tapInstallFinished(d->success);
}

void TapInstallDialog::closeEvent(QCloseEvent *event)
{
    if (d->installing) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
    if (event->isAccepted() && !std::exchange(d->announced, true))
        emit tapInstallFinished(d->success);
}
