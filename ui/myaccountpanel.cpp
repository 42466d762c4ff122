#include "myaccountpanel.h"

#include "core.h"
#include "fontawesome.h"
#include "logindialog.h"
#include "userstatus.h"

#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int ChangeLoginIcon = 61584;
constexpr int ControlPanelIcon = 61537;
} // namespace

class MyAccountPanelPrivate
{
public:
    Core *core = nullptr;
    QWidget *window = nullptr;
    QGroupBox *statusBox = nullptr;
    QFormLayout *rows = nullptr;
    QGroupBox *offersBox = nullptr;
    QPushButton *changeLogin = nullptr;
    QPushButton *controlPanel = nullptr;
    QPointer<LoginDialog> loginDialog;
};

MyAccountPanel::MyAccountPanel(Core *core, QWidget *window, QWidget *parent)
    : QWidget(parent)
    , d(new MyAccountPanelPrivate)
{
    d->core = core;
    d->window = window;
    d->statusBox = new QGroupBox(this);
    d->rows = new QFormLayout(d->statusBox);
    d->rows->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    d->statusBox->setVisible(false);
    d->offersBox = new QGroupBox(this);
    d->offersBox->setVisible(false);

    d->changeLogin = new QPushButton(this);
    d->controlPanel = new QPushButton(this);
    d->controlPanel->setVisible(false);
    if (FontAwesome *font = FontAwesome::instance()) {
        d->changeLogin->setIcon(font->icon(ChangeLoginIcon));
        d->controlPanel->setIcon(font->icon(ControlPanelIcon));
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(d->changeLogin);
    buttons->addWidget(d->controlPanel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->statusBox);
    layout->addWidget(d->offersBox);
    layout->addLayout(buttons);
    layout->addStretch(1);

    connect(d->changeLogin, &QPushButton::clicked, this, &MyAccountPanel::changeLogin);
    connect(d->controlPanel, &QPushButton::clicked, this, &MyAccountPanel::openAccountHome);
    connect(core, &Core::userStatusUpdated, this, &MyAccountPanel::userStatusUpdated);

    retranslate();
}

MyAccountPanel::~MyAccountPanel() = default;

void MyAccountPanel::userStatusUpdated(const UserStatus &status)
{
    // Taking items out of a form leaves its rows behind; removing them does not.
    while (d->rows->rowCount() > 0)
        d->rows->removeRow(0);
    const QList<Row> rows = status.rows();
    for (const Row &row : rows) {
        // The provider's words, shown as written.
        auto *label = new QLabel(row.label(), d->statusBox);
        label->setTextFormat(Qt::PlainText);
        label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        auto *value = new QLabel(row.value(), d->statusBox);
        value->setTextFormat(Qt::PlainText);
        value->setWordWrap(true);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        d->rows->addRow(label, value);
    }
    d->statusBox->setVisible(true);
    d->controlPanel->setVisible(true);
}

void MyAccountPanel::changeLogin()
{
    if (d->loginDialog) {
        d->loginDialog->raise();
        d->loginDialog->activateWindow();
        return;
    }
    auto *dialog = new LoginDialog(d->core, d->window);
    d->loginDialog = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->raise();
    dialog->activateWindow();
    dialog->setFocus();
    // Core outlives the panel, which may be gone when the dialog returns.
    Core *core = d->core;
    if (dialog->exec() == QDialog::Accepted)
        core->login();
}

void MyAccountPanel::openAccountHome()
{
    d->core->openLink(QStringLiteral("account_home"));
}

void MyAccountPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void MyAccountPanel::retranslate()
{
    d->statusBox->setTitle(tr("Account Status"));
    d->offersBox->setTitle(tr("Offers"));
    d->changeLogin->setText(tr("Change Login Account"));
    d->controlPanel->setText(tr("My Control Panel"));
}
