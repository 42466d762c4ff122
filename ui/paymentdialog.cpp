#include "paymentdialog.h"

#include "core.h"
#include "download.h"
#include "downloadmanager.h"
#include "extendedlabel.h"
#include "hidpi.h"
#include "stringutils.h"
#include "styledbutton.h"
#include "subscriptionmodel.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
constexpr int IconSize = 32;
} // namespace

class PaymentDialogPrivate
{
public:
    // Gives up the pictures still on their way; the manager deletes their records.
    void cancelDownloads()
    {
        DownloadManager *manager = core->downloadManager();
        for (auto it = downloads.cbegin(); it != downloads.cend(); ++it)
            manager->cancel(it.key());
        downloads.clear();
    }

    void showPicture(int option, const QByteArray &data, double devicePixelRatio)
    {
        QPixmap pixmap;
        if (data.isEmpty() || !pixmap.loadFromData(data))
            return;
        // The provider drew the picture for the ratio it names.
        pixmap.setDevicePixelRatio(devicePixelRatio);
        pictures.at(option)->setPixmap(pixmap);
    }

    void addPaymentOption(int index, const PaymentNotification::PaymentOption &option, bool checked)
    {
        auto *button = new QRadioButton(option.name, frame);
        button->setObjectName(QStringLiteral("payment_") + option.key);
        button->setChecked(checked);
        methods->addButton(button, index);
        auto *picture = new ExtendedLabel(frame);
        QObject::connect(picture, &ExtendedLabel::clicked, button, [button] { button->setChecked(true); });
        pictures.append(picture);
        auto *row = new QHBoxLayout;
        row->addWidget(button);
        row->addWidget(picture);
        row->addStretch(1);
        methodsLayout->addLayout(row);

        // A picture the offer carries shows at once; one at an address replaces it
        // when it has arrived.
        showPicture(index, option.pixmap, option.pixmapDpr);
        if (!option.url.isEmpty())
            downloads.insert(core->downloadManager()->download(option.url), index);
    }

    Core *core = nullptr;
    PaymentNotification notification;
    QLabel *title = nullptr;
    QLabel *heading = nullptr;
    QLabel *text = nullptr;
    QLabel *subscriptionsLabel = nullptr;
    SubscriptionModel *subscriptions = nullptr;
    QListView *subscriptionView = nullptr;
    QLabel *methodsLabel = nullptr;
    // Holds the payment methods; a plain widget around them would get the frame's border.
    QWidget *frame = nullptr;
    QVBoxLayout *methodsLayout = nullptr;
    QButtonGroup *methods = nullptr; // button id: the option's index
    QList<QLabel *> pictures; // by the option's index
    QHash<Download *, int> downloads; // pictures on their way, to the option's index
    StyledButton *renew = nullptr;
    StyledButton *later = nullptr;
};

PaymentDialog::PaymentDialog(Core *core, QWidget *parent)
    : QDialog(parent)
    , d(new PaymentDialogPrivate)
{
    d->core = core;
    setMinimumWidth(mHiDpiSize(420));

    d->title = new QLabel(this);
    d->title->setObjectName(QStringLiteral("title"));
    d->title->setWordWrap(true);

    auto *frame = new QWidget(this);
    d->frame = frame;
    frame->setAttribute(Qt::WA_StyledBackground);
    frame->setStyleSheet(QStringLiteral(
        ".QWidget { border: 1px solid #ccc; background-color: #ffffff; border-radius: %1px; padding: %2}")
                             .arg(mHiDpiSize(4))
                             .arg(mHiDpiSize(10)));
    auto *icon = new QLabel(frame);
    icon->setPixmap(mHiDpiPixmap2(QStringLiteral(":/images/app/%1_app.png"), IconSize, true));
    icon->setAlignment(Qt::AlignTop);
    d->heading = new QLabel(frame);
    d->heading->setObjectName(QStringLiteral("heading"));
    d->heading->setWordWrap(true);
    QFont headingFont = d->heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.3);
    d->heading->setFont(headingFont);
    d->text = new QLabel(frame);
    d->text->setObjectName(QStringLiteral("text"));
    d->text->setWordWrap(true);

    d->subscriptionsLabel = new QLabel(frame);
    d->subscriptions = new SubscriptionModel(this);
    d->subscriptionView = new QListView(frame);
    d->subscriptionView->setModel(d->subscriptions);
    d->subscriptionView->setSelectionMode(QAbstractItemView::SingleSelection);
    d->subscriptionView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    d->subscriptionView->setUniformItemSizes(true);
    // As tall as the offer's few subscriptions, not a screenful.
    d->subscriptionView->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);

    d->methodsLabel = new QLabel(frame);
    d->methodsLayout = new QVBoxLayout;
    d->methods = new QButtonGroup(this);

    auto *texts = new QVBoxLayout;
    texts->addWidget(d->heading);
    texts->addWidget(d->text);
    auto *head = new QHBoxLayout;
    head->addWidget(icon);
    head->addLayout(texts, 1);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addLayout(head);
    frameLayout->addSpacing(mHiDpiSize(6));
    frameLayout->addWidget(d->subscriptionsLabel);
    frameLayout->addWidget(d->subscriptionView);
    frameLayout->addWidget(d->methodsLabel);
    frameLayout->addLayout(d->methodsLayout);

    d->renew = new StyledButton(this);
    d->renew->setStyle(StyledButton::Primary);
    d->renew->setDefault(true);
    d->later = new StyledButton(this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(d->later);
    buttons->addWidget(d->renew);

    const int margin = mHiDpiSize(10);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(margin);
    layout->addWidget(d->title);
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);

    connect(d->renew, &QPushButton::clicked, this, &PaymentDialog::pay);
    connect(d->later, &QPushButton::clicked, this, &QDialog::reject);
    connect(
        core->downloadManager(), &DownloadManager::downloadFinished, this, &PaymentDialog::downloadFinished);

    retranslate();
}

PaymentDialog::~PaymentDialog()
{
    d->cancelDownloads();
}

void PaymentDialog::setNotification(const PaymentNotification &notification)
{
    d->notification = notification;
    setWindowTitle(
        notification.title().isEmpty() ? QCoreApplication::applicationName() : notification.title());
    d->title->setText(notification.title());
    d->title->setVisible(!notification.title().isEmpty());
    d->text->setText(StringUtils::replaceHtmlEntities(notification.text()));

    d->subscriptions->setSubscriptions(notification.subscriptions());
    const int chosen = d->subscriptions->rowOf(notification.defaultSubscription());
    if (chosen >= 0)
        d->subscriptionView->setCurrentIndex(d->subscriptions->index(chosen));

    d->cancelDownloads();
    d->pictures.clear();
    mClearLayout(d->methodsLayout);
    const QList<PaymentNotification::PaymentOption> options = notification.paymentOptions();
    for (int i = 0; i < options.size(); ++i) {
        const PaymentNotification::PaymentOption &option = options.at(i);
        d->addPaymentOption(i, option, option.isDefault || option.key == notification.defaultPaymentOption());
    }
    retranslate();
}

PaymentNotification PaymentDialog::notification() const
{
    return d->notification;
}

void PaymentDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

void PaymentDialog::pay()
{
    const auto warn = [this](const QString &text) {
        auto *box = new QMessageBox(QMessageBox::Warning, tr("Warning"), text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
    const int option = d->methods->checkedId();
    if (option < 0) {
        warn(tr("Please choose a payment method."));
        return;
    }
    const QModelIndexList subscriptions = d->subscriptionView->selectionModel()->selectedRows();
    if (subscriptions.isEmpty()) {
        warn(tr("Please choose a subscription."));
        return;
    }
    const QString key = d->notification.paymentOptions().at(option).key;
    d->core->openLink(QStringLiteral("#payment_") + key,
        { { QStringLiteral("subscription"),
            subscriptions.constFirst().data(SubscriptionModel::KeyRole).toString() } });
    accept();
}

void PaymentDialog::downloadFinished(Download *download)
{
    // The manager serves every view: only our own pictures are ours to take.
    const auto it = d->downloads.constFind(download);
    if (it == d->downloads.cend())
        return;
    const int option = it.value();
    d->downloads.erase(it);
    d->showPicture(option, download->data(), d->notification.paymentOptions().at(option).pixmapDpr);
    delete download;
}

void PaymentDialog::retranslate()
{
    const QString headline = StringUtils::replaceHtmlEntities(d->notification.headline());
    d->heading->setText(headline.isEmpty() ? tr("Account Expired. Renew Now!") : headline);
    d->subscriptionsLabel->setText(tr("Choose a subscription:"));
    d->methodsLabel->setText(tr("Choose a payment method:"));
    const QString submit = d->notification.submitButton();
    d->renew->setText(submit.isEmpty() ? tr("Renew Account") : submit);
    const QString cancel = d->notification.cancelButton();
    d->later->setText(cancel.isEmpty() ? tr("Remind Me Later") : cancel);
}
