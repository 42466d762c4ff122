#include "vpnfailuredialog.h"

#include "extendedlabel.h"
#include "hidpi.h"
#include "winutils.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int DialogWidth = 480;

} // namespace

class VpnFailureDialogPrivate
{
public:
    Vpn::Protocol protocol = Vpn::OpenVpnTcp;
    // done() has run once: a second call must not start another elevated copy.
    bool ended = false;
    QLabel *textLabel = nullptr;
    QGroupBox *elevationGroup = nullptr;
    QCheckBox *elevationBox = nullptr;
    ExtendedLabel *elevationLabel = nullptr;
    QDialogButtonBox *buttons = nullptr;
};

VpnFailureDialog::VpnFailureDialog(QWidget *parent, Vpn::Protocol protocol)
    : QDialog(parent)
    , d(new VpnFailureDialogPrivate)
{
    d->protocol = protocol;
    d->textLabel = new QLabel(this);
    d->textLabel->setTextFormat(Qt::RichText);
    d->textLabel->setWordWrap(true);

    d->elevationGroup = new QGroupBox(this);
    d->elevationBox = new QCheckBox(d->elevationGroup);
    d->elevationLabel = new ExtendedLabel(d->elevationGroup);
    d->elevationLabel->setWordWrap(true);
    d->elevationLabel->setTextFormat(Qt::PlainText);
    connect(d->elevationLabel, &ExtendedLabel::clicked, d->elevationBox, &QAbstractButton::toggle);
    auto *groupLayout = new QHBoxLayout(d->elevationGroup);
    groupLayout->addWidget(d->elevationBox, 0, Qt::AlignTop);
    groupLayout->addWidget(d->elevationLabel, 1);
    // Already root: there is nothing to offer.
    d->elevationGroup->setVisible(!WinUtils::isRunningAsAdministrator());

    d->buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(d->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->textLabel);
    layout->addWidget(d->elevationGroup);
    layout->addWidget(d->buttons);

    setMinimumWidth(mHiDpiSize(DialogWidth));
    setMaximumWidth(mHiDpiSize(DialogWidth));
    retranslate();
}

VpnFailureDialog::~VpnFailureDialog() = default;

void VpnFailureDialog::done(int result)
{
    const bool elevate = !std::exchange(d->ended, true) && !WinUtils::isRunningAsAdministrator()
        && d->elevationBox->isChecked();
    // Kept for later starts too: program entry relaunches elevated while it is set.
    if (elevate)
        QSettings().setValue(QStringLiteral("run_elevated"), true);
    QDialog::done(result);
    if (elevate && WinUtils::startElevated(QCoreApplication::applicationFilePath()))
        emit quitRequested();
}

void VpnFailureDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

void VpnFailureDialog::retranslate()
{
    setWindowTitle(tr("Connection problems"));
    const QString text
        = tr("<b>It was not possible to establish a connection the VPN using %1 as protocol. "
             "We recommend you to try another protocol which you can choose in the 'Connection' "
             "view on the left.</b><br/><br/>If you're using a firewall, please also ensure that "
             "it is not blocking the connection and that there's no other VPN connection running.");
    d->textLabel->setText(text.arg(Vpn::GetProtocolDisplayName(d->protocol).toHtmlEscaped()));
    const QString elevation
        = tr("Running %1 with administrator privileges might solve connection issues with "
             "OpenVPN. Check the box to start %1 with administrator privileges in the future "
             "(please restart the app).");
    d->elevationLabel->setText(elevation.arg(QCoreApplication::applicationName()));
}
