#include "preferencespanel.h"

#include "configuration.h"
#include "core.h"
#include "extendedlabel.h"
#include "hidpi.h"
#include "languagemodel.h"
#include "localemanager.h"
#include "vpnserverlistmodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSettings>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QString KeyRunElevated = QStringLiteral("run_elevated");
const QString KeyStatusIndicatorPos = QStringLiteral("status_indicator_pos");

} // namespace

class PreferencesPanelPrivate
{
public:
    // The radio button of an auto-connect type; null for a type without one.
    QRadioButton *radioFor(int type) const
    {
        switch (type) {
        case Configuration::AutoConnectSpecific:
            return specificLocation;
        case Configuration::AutoConnectLast:
            return lastLocation;
        case Configuration::AutoConnectBestPing:
            return bestPingLocation;
        case Configuration::AutoConnectNearest:
            return nearestLocation;
        default:
            return nullptr;
        }
    }

    // The auto-connect type of the checked radio button; 0 when none is checked.
    int checkedType() const
    {
        for (int type = Configuration::AutoConnectSpecific; type <= Configuration::AutoConnectNearest;
             ++type) {
            if (radioFor(type)->isChecked())
                return type;
        }
        return Configuration::AutoConnectNone;
    }

    Core *core = nullptr;
    int spacing = 0;
    // The controls are being filled from storage: their change signals write nothing.
    bool loading = false;
    QDialogButtonBox *buttons = nullptr;
    QCheckBox *runElevated = nullptr;
    ExtendedLabel *runElevatedText = nullptr;
    QCheckBox *showIndicator = nullptr;
    QCheckBox *minimizeToTray = nullptr;
    QCheckBox *closeToTray = nullptr;
    QCheckBox *saveCredentials = nullptr;
    QCheckBox *autoStart = nullptr;
    QCheckBox *offerAlternative = nullptr;
    QCheckBox *speedBits = nullptr;
    QLabel *languageLabel = nullptr;
    QComboBox *languageBox = nullptr;
    QGroupBox *autoConnect = nullptr;
    QRadioButton *lastLocation = nullptr;
    QRadioButton *bestPingLocation = nullptr;
    QRadioButton *nearestLocation = nullptr;
    QRadioButton *specificLocation = nullptr;
    QComboBox *serverBox = nullptr;
    VpnServerListModel *serverModel = nullptr;
    // The auto-connect server the server box stands for. It outlives the box's entry
    // while the server list does not hold it (not loaded yet, or being replaced), so
    // that the stored choice is not lost meanwhile.
    QString serverUid;
};

PreferencesPanel::PreferencesPanel(Core *core, QWidget *parent)
    : QWidget(parent)
    , d(new PreferencesPanelPrivate)
{
    d->core = core;
    d->spacing = mHiDpiSize(20);

    d->runElevated = new QCheckBox(this);
    d->runElevatedText = new ExtendedLabel(this);
    d->runElevatedText->setWordWrap(true);
    d->runElevatedText->setTextFormat(Qt::PlainText);
    connect(d->runElevatedText, &ExtendedLabel::clicked, d->runElevated, &QAbstractButton::toggle);
    // The explanation lines up with the check box's text.
    const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth)
        + style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    d->runElevatedText->setContentsMargins(indent, 0, 0, 0);

    d->showIndicator = new QCheckBox(this);
    d->minimizeToTray = new QCheckBox(this);
    d->closeToTray = new QCheckBox(this);
    d->saveCredentials = new QCheckBox(this);
    d->autoStart = new QCheckBox(this);
    d->offerAlternative = new QCheckBox(this);
    d->speedBits = new QCheckBox(this);

    d->languageLabel = new QLabel(this);
    d->languageBox = new QComboBox(this);
    d->languageBox->setModel(new LanguageModel(d->languageBox));
    d->languageLabel->setBuddy(d->languageBox);
    auto *languageRow = new QHBoxLayout;
    languageRow->addWidget(d->languageLabel);
    languageRow->addWidget(d->languageBox);
    languageRow->addStretch(1);

    d->autoConnect = new QGroupBox(this);
    d->autoConnect->setCheckable(true);
    d->lastLocation = new QRadioButton(d->autoConnect);
    d->bestPingLocation = new QRadioButton(d->autoConnect);
    d->nearestLocation = new QRadioButton(d->autoConnect);
    d->specificLocation = new QRadioButton(d->autoConnect);
    d->serverBox = new QComboBox(d->autoConnect);
    d->serverModel = new VpnServerListModel(mHiDpiFixedFactor3(), core->vpnManager(), d->serverBox);
    d->serverBox->setModel(d->serverModel);
    // Sized by a typical entry: measuring every one of ten thousand servers on each
    // change of the list would hold up the window.
    d->serverBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    d->serverBox->setMinimumContentsLength(36);
    auto *specificRow = new QHBoxLayout;
    specificRow->addWidget(d->specificLocation);
    specificRow->addWidget(d->serverBox);
    specificRow->addStretch(1);
    auto *autoConnectLayout = new QVBoxLayout(d->autoConnect);
    autoConnectLayout->addWidget(d->lastLocation);
    autoConnectLayout->addWidget(d->bestPingLocation);
    autoConnectLayout->addWidget(d->nearestLocation);
    autoConnectLayout->addLayout(specificRow);

    d->buttons = new QDialogButtonBox(QDialogButtonBox::RestoreDefaults, this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->runElevated);
    layout->addWidget(d->runElevatedText);
    layout->addSpacing(d->spacing);
    for (QCheckBox *box : { d->showIndicator, d->minimizeToTray, d->closeToTray, d->saveCredentials,
             d->autoStart, d->offerAlternative, d->speedBits })
        layout->addWidget(box);
    layout->addSpacing(d->spacing);
    layout->addLayout(languageRow);
    layout->addSpacing(d->spacing);
    layout->addWidget(d->autoConnect);
    layout->addStretch(1);
    layout->addWidget(d->buttons);

    for (QCheckBox *box : { d->runElevated, d->showIndicator, d->minimizeToTray, d->closeToTray,
             d->saveCredentials, d->autoStart, d->offerAlternative, d->speedBits })
        connect(box, &QAbstractButton::toggled, this, &PreferencesPanel::applyChanges);
    connect(d->autoConnect, &QGroupBox::toggled, this, &PreferencesPanel::applyChanges);
    for (QRadioButton *radio :
        { d->lastLocation, d->bestPingLocation, d->nearestLocation, d->specificLocation })
        connect(radio, &QAbstractButton::toggled, this, &PreferencesPanel::applyChanges);
    connect(d->languageBox, &QComboBox::currentIndexChanged, this, &PreferencesPanel::applyChanges);
    // Before applyChanges(), which writes the server this sets.
    connect(d->serverBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!d->loading)
            d->serverUid = d->serverModel->serverAt(index).uid();
    });
    connect(d->serverBox, &QComboBox::currentIndexChanged, this, &PreferencesPanel::applyChanges);
    // A new server list resets the box, which then shows its first entry: not a
    // choice of the user's. The box finds its server again in the new list.
    connect(d->serverModel, &QAbstractItemModel::modelAboutToBeReset, this, [this] { d->loading = true; });
    connect(d->serverModel, &QAbstractItemModel::modelReset, this, [this] {
        d->serverBox->setCurrentIndex(d->serverModel->indexOf(d->serverUid));
        d->loading = false;
    });
    connect(d->buttons, &QDialogButtonBox::clicked, this, &PreferencesPanel::buttonClicked);

    retranslate();
    loadConfiguration();
}

PreferencesPanel::~PreferencesPanel() = default;

void PreferencesPanel::retranslate()
{
    const QString name = QCoreApplication::applicationName();
    d->runElevated->setText(tr("Start %1 with administrator privileges").arg(name));
    d->runElevatedText->setText(
        tr("Enable this option if you have trouble connecting to OpenVPN. With administrator "
           "privileges %1 is able to run and control it's own OpenVPN process.")
            .arg(name));
    d->showIndicator->setText(tr("Show the connection status in a corner of the screen (movable)."));
    d->minimizeToTray->setText(tr("Minimize to system tray"));
    d->closeToTray->setText(tr("Close to system tray"));
    d->saveCredentials->setText(tr("Save login credentials"));
    // The autostart entry starts the program with the user's desktop session.
    d->autoStart->setText(tr("Start %1 when %2 starts").arg(name, tr("the desktop")));
    d->offerAlternative->setText(tr("Offer alternative location if the selected has high load"));
    d->speedBits->setText(tr("Show network speed in Bit notation"));
    d->languageLabel->setText(tr("Language:"));
    d->autoConnect->setTitle(tr("On application start, connect automatically to:"));
    d->lastLocation->setText(tr("Last location"));
    d->bestPingLocation->setText(tr("Location with best ping time"));
    d->nearestLocation->setText(tr("Nearest location"));
    d->specificLocation->setText(tr("This specific location:"));
}

void PreferencesPanel::showEvent(QShowEvent *event)
{
    // Other windows change some of these settings too.
    loadConfiguration();
    QWidget::showEvent(event);
}

void PreferencesPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void PreferencesPanel::loadConfiguration()
{
    d->loading = true;
    const Configuration *configuration = d->core->configuration();
    d->runElevated->setChecked(QSettings().value(KeyRunElevated, false).toBool());
    d->showIndicator->setChecked(configuration->showIndicator());
    d->minimizeToTray->setChecked(configuration->minimizeToTray());
    d->closeToTray->setChecked(configuration->closeToTray());
    d->saveCredentials->setChecked(configuration->saveCredentials());
    d->autoStart->setChecked(configuration->autoStart());
    d->offerAlternative->setChecked(configuration->offerAlternative());
    d->speedBits->setChecked(configuration->speedBits());
    d->autoConnect->setChecked(configuration->autoConnect());
    if (QRadioButton *radio = d->radioFor(configuration->autoConnectType()))
        radio->setChecked(true);
    // No entry when no server is stored: the box never claims a server the store
    // does not hold.
    d->serverUid = configuration->autoConnectServerUid();
    d->serverBox->setCurrentIndex(d->serverModel->indexOf(d->serverUid));
    // A language the list lacks shows no entry; showing another language's entry
    // would switch to it with the next change of any control.
    d->languageBox->setCurrentIndex(
        d->languageBox->findData(d->core->localeManager()->language(), Qt::UserRole));
    d->showIndicator->setFocus();
    d->loading = false;
}

void PreferencesPanel::applyChanges()
{
    if (d->loading)
        return;
    Configuration *configuration = d->core->configuration();
    configuration->beginUpdate();

    QSettings settings;
    if (d->runElevated->isChecked())
        settings.setValue(KeyRunElevated, true);
    else
        settings.remove(KeyRunElevated);
    // The status window switched on again appears at its default place.
    if (!configuration->showIndicator() && d->showIndicator->isChecked())
        settings.remove(KeyStatusIndicatorPos);

    configuration->setShowIndicator(d->showIndicator->isChecked());
    configuration->setMinimizeToTray(d->minimizeToTray->isChecked());
    configuration->setCloseToTray(d->closeToTray->isChecked());
    configuration->setSaveCredentials(d->saveCredentials->isChecked());
    configuration->setAutoStart(d->autoStart->isChecked());
    configuration->setOfferAlternative(d->offerAlternative->isChecked());
    configuration->setSpeedBits(d->speedBits->isChecked());
    configuration->setAutoConnect(d->autoConnect->isChecked());
    if (const int type = d->checkedType())
        configuration->setAutoConnectType(type);
    configuration->setAutoConnectServerUid(d->serverUid);
    if (d->languageBox->currentIndex() >= 0)
        d->core->localeManager()->setLanguage(d->languageBox->currentData(Qt::UserRole).toString());

    configuration->endUpdate();
}

void PreferencesPanel::buttonClicked(QAbstractButton *button)
{
    switch (d->buttons->buttonRole(button)) {
    case QDialogButtonBox::ApplyRole:
        applyChanges();
        break;
    case QDialogButtonBox::ResetRole:
        restoreDefaults();
        break;
    default:
        break;
    }
}

void PreferencesPanel::restoreDefaults()
{
    d->runElevated->setChecked(false);
    d->showIndicator->setChecked(true);
    d->minimizeToTray->setChecked(false);
    d->closeToTray->setChecked(true);
    d->saveCredentials->setChecked(true);
    d->autoStart->setChecked(true);
    d->offerAlternative->setChecked(true);
    d->speedBits->setChecked(false);
    d->autoConnect->setChecked(true);
    d->lastLocation->setChecked(true);
    if (d->serverBox->currentIndex() >= 0) {
        d->serverBox->setCurrentIndex(-1);
    } else {
        // A box without an entry may still stand for a stored server the list lacks;
        // that server goes as well.
        d->serverUid.clear();
        applyChanges();
    }
}
