#include "userpanel.h"

#include "animationwidget.h"
#include "configuration.h"
#include "context.h"
#include "core.h"
#include "hidpi.h"
#include "myaccountpanel.h"
#include "styledbutton.h"
#include "userstatus.h"

#include <QEvent>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

enum Page { AccountPage = 0, FetchingPage = 1, SignInPage = 2 };

constexpr int ActivityFrames = 12;
constexpr int ActivitySize = 64;
constexpr int PictureSize = 128;

} // namespace

class UserPanelPrivate
{
public:
    Core *core = nullptr;
    bool statusKnown = false; // a valid account status has arrived
    QStackedWidget *stack = nullptr;
    AnimationWidget *activity = nullptr;
    QLabel *fetching = nullptr;
    QLabel *signInText = nullptr;
    StyledButton *signIn = nullptr;
};

UserPanel::UserPanel(Core *core, MyAccountPanel *accountPanel, QWidget *window)
    : QWidget(window)
    , d(new UserPanelPrivate)
{
    d->core = core;
    d->stack = new QStackedWidget(this);
    d->stack->addWidget(accountPanel);

    auto *fetchingPage = new QWidget(d->stack);
    d->activity = new AnimationWidget(fetchingPage);
    d->activity->setImage(mHiDpiFactor() > 1.0 ? QStringLiteral(":/animations/large_activity@2x.png")
                                               : QStringLiteral(":/animations/large_activity.png"),
        ActivityFrames, mHiDpiFactor(), ActivitySize * ActivityFrames, ActivitySize);
    d->fetching = new QLabel(fetchingPage);
    d->fetching->setAlignment(Qt::AlignCenter);
    auto *fetchingLayout = new QVBoxLayout(fetchingPage);
    fetchingLayout->addStretch(1);
    fetchingLayout->addWidget(d->activity, 0, Qt::AlignHCenter);
    fetchingLayout->addWidget(d->fetching);
    fetchingLayout->addStretch(1);
    d->stack->addWidget(fetchingPage);

    auto *signInPage = new QWidget(d->stack);
    auto *picture = new QLabel(signInPage);
    QPixmap pixmap(mHiDpiFactor() > 1.0 ? QStringLiteral(":/images/login@2x.png")
                                        : QStringLiteral(":/images/login.png"));
    if (!pixmap.isNull())
        me_adapt_pixmap(pixmap, mHiDpiFactor(), PictureSize, PictureSize);
    picture->setPixmap(pixmap);
    picture->setAlignment(Qt::AlignCenter);
    d->signInText = new QLabel(signInPage);
    d->signInText->setAlignment(Qt::AlignCenter);
    d->signInText->setWordWrap(true);
    d->signIn = new StyledButton(signInPage);
    d->signIn->setStyle(StyledButton::Primary);
    auto *signInLayout = new QVBoxLayout(signInPage);
    signInLayout->addStretch(1);
    signInLayout->addWidget(picture);
    signInLayout->addSpacing(mHiDpiSize(10));
    signInLayout->addWidget(d->signInText);
    signInLayout->addSpacing(mHiDpiSize(10));
    signInLayout->addWidget(d->signIn, 0, Qt::AlignHCenter);
    signInLayout->addStretch(1);
    d->stack->addWidget(signInPage);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d->stack);

    connect(d->signIn, &QPushButton::clicked, this, &UserPanel::login);
    connect(core, &Core::userStatusUpdated, this, &UserPanel::userStatusUpdated);
    connect(core, &Core::variablesUpdated, this, &UserPanel::variablesUpdated);
    // Credentials stored or dropped while no status is known change what is awaited.
    connect(core->configuration(), &Configuration::changed, this, &UserPanel::showPage);

    retranslateUi();
    userStatusUpdated(core->context()->userStatus());
}

UserPanel::~UserPanel() = default;

void UserPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QWidget::changeEvent(event);
}

void UserPanel::login()
{
    d->core->ensureLoggedIn();
}

void UserPanel::variablesUpdated()
{
    if (d->stack->currentIndex() != SignInPage)
        return;
    // Without the provider's words the page still says what the button does.
    const QString text = d->core->context()->text(QStringLiteral("user.panel.info.text"));
    d->signInText->setText(
        QStringLiteral("<font size=\"+1\">%1</font>")
            .arg(text.isEmpty() ? tr("Sign in with your account to see its status here.") : text));
    const QString button = d->core->context()->text(QStringLiteral("user.panel.info.button"));
    d->signIn->setText(button.isEmpty() ? tr("Sign In") : button);
}

void UserPanel::userStatusUpdated(const UserStatus &status)
{
    d->statusKnown = !status.isNull();
    showPage();
}

void UserPanel::retranslateUi()
{
    d->fetching->setText(tr("Fetching current account status ..."));
    variablesUpdated();
}

void UserPanel::showPage()
{
    Page page = AccountPage;
    if (!d->statusKnown)
        page = d->core->configuration()->hasCredentials() ? FetchingPage : SignInPage;
    d->stack->setCurrentIndex(page);
    if (page == FetchingPage)
        d->activity->start();
    else
        d->activity->stop();
    variablesUpdated();
}
