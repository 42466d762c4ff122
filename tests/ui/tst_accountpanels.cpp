#include "animationwidget.h"
#include "configuration.h"
#include "core.h"
#include "download.h"
#include "downloadmanager.h"
#include "extendedlabel.h"
#include "localemanager.h"
#include "logindialog.h"
#include "mirrow.h"
#include "myaccountpanel.h"
#include "paymentdialog.h"
#include "providersimulator.h"
#include "recorder.h"
#include "sessiondialogs.h"
#include "testhome.h"
#include "userpanel.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

// The "My Account" tab and the payment offer over a Core that talks to the provider
// simulator; the browser is a stand-in that notes what it was given, and the
// offer's pictures come from a small web server on loopback.

namespace {

// Answers GET requests for its pictures over plain HTTP; while holding, the
// answers wait for release().
class PictureServer : public QTcpServer
{
public:
    PictureServer()
    {
        connect(this, &QTcpServer::newConnection, this, &PictureServer::acceptAll);
        listen(QHostAddress::LocalHost);
    }

    QString url(const QString &path) const { return u"http://127.0.0.1:%1/%2"_s.arg(serverPort()).arg(path); }

    void release()
    {
        holding = false;
        for (const auto &[socket, path] : std::as_const(held)) {
            if (socket)
                answer(socket, path);
        }
        held.clear();
    }

    QHash<QByteArray, QByteArray> pictures; // by path, with its leading "/"
    bool holding = false;
    int requests = 0;

private:
    void acceptAll()
    {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
                socket->setProperty("request", request);
                if (!request.contains("\r\n\r\n"))
                    return;
                ++requests;
                const QByteArray path = request.split(' ').value(1);
                if (holding)
                    held.append({ socket, path });
                else
                    answer(socket, path);
            });
        }
    }

    void answer(QTcpSocket *socket, const QByteArray &path)
    {
        const QByteArray body = pictures.value(path);
        const QByteArray status = body.isEmpty() ? "404 Not Found" : "200 OK";
        socket->write("HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QList<std::pair<QPointer<QTcpSocket>, QByteArray>> held;
};

QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// An offer as the provider writes it: two subscriptions, a card payment whose
// picture is at `cardUrl` and a PayPal payment whose picture comes along.
PaymentNotification offer(const QString &defaultSubscription, const QString &defaultOption,
    const QString &headline = u"Your plan ends"_s, const QString &cardUrl = QString())
{
    const QString xml
        = u"<payment-notification><title>Renewal</title><headline>%1</headline><text>Pick a plan.</text>"
          "<subscriptions default=\"%2\">"
          "<subscription key=\"1m\"><description>One month, 9 &amp;euro;</description></subscription>"
          "<subscription key=\"12m\"><description>One year</description></subscription>"
          "</subscriptions><payment-options default=\"%3\">"
          "<payment-option key=\"card\"><name>Card</name><pixmap dpr=\"2\"/><url>%4</url></payment-option>"
          "<payment-option key=\"paypal\"><name>PayPal</name><pixmap>%5</pixmap></payment-option>"
          "</payment-options></payment-notification>"_s.arg(headline, defaultSubscription, defaultOption,
              cardUrl, QString::fromLatin1(png(30, 10).toBase64()));
    QXmlStreamReader reader(xml);
    reader.readNextStartElement();
    return PaymentNotification::fromXml(reader);
}

QPushButton *button(QWidget *root, const QString &text)
{
    const QList<QPushButton *> buttons = root->findChildren<QPushButton *>();
    for (QPushButton *candidate : buttons) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

QStringList visibleTexts(QWidget *page)
{
    QStringList texts;
    const QList<QLabel *> labels = page->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->isVisible() && !label->text().isEmpty())
            texts.append(label->text());
    }
    const QList<QPushButton *> buttons = page->findChildren<QPushButton *>();
    for (QPushButton *candidate : buttons) {
        if (candidate->isVisible())
            texts.append(u"[%1]"_s.arg(candidate->text()));
    }
    return texts;
}

// The account status rows as "label=value", top to bottom.
QStringList statusRows(QWidget *panel)
{
    QStringList rows;
    for (QGroupBox *box : panel->findChildren<QGroupBox *>()) {
        if (box->title() != "Account Status"_L1)
            continue;
        auto *form = qobject_cast<QFormLayout *>(box->layout());
        for (int row = 0; row < form->rowCount(); ++row) {
            rows.append(qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget())->text()
                + u'=' + qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::FieldRole)->widget())->text());
        }
    }
    return rows;
}

} // namespace

class TestAccountPanels : public QObject
{
    Q_OBJECT

public:
    explicit TestAccountPanels(const TestHome &home)
        : home(home)
    {
    }

private slots:
    void initTestCase();
    void cleanup();
    void beforeFirstStatus_data();
    void beforeFirstStatus();
    void statusRowsInOrder();
    void changeLoginOnce_data();
    void changeLoginOnce();
    void renew_data();
    void renew();
    void pictures();
    void offersFromTheSession();

private:
    bool start(const QJsonObject &data, bool credentials);
    QStringList kinds(const QStringList &wanted) const;

    const TestHome &home;
    QString browserLog;
    std::unique_ptr<ProviderSimulator> simulator;
    std::unique_ptr<Core> core;
};

void TestAccountPanels::initTestCase()
{
    QVERIFY(home.isValid());
    QApplication::setQuitOnLastWindowClosed(false);
    const QString standIns = home.path() + u"/bin"_s;
    QVERIFY(QDir().mkpath(standIns));
    browserLog = home.path() + u"/xdg-open.log"_s;
    QVERIFY(Recorder::write(standIns + u"/xdg-open"_s, browserLog));
    qputenv("PATH", QFile::encodeName(standIns) + ':' + qgetenv("PATH"));
    const QString system = home.path() + u"/system"_s;
    QVERIFY(QDir().mkpath(system));
    qputenv("NOXEL_SYSTEM_CONFIG_DIR", QFile::encodeName(system));
}

void TestAccountPanels::cleanup()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (qobject_cast<QDialog *>(window))
            delete window;
    }
    core.reset();
    simulator.reset();
    QFile::remove(browserLog);
    QSettings().clear();
}

bool TestAccountPanels::start(const QJsonObject &data, bool credentials)
{
    simulator = std::make_unique<ProviderSimulator>();
    if (!simulator->start(data))
        return false;
    qputenv(Mirrow::AddressesVariable, simulator->address().toUtf8());
    core = std::make_unique<Core>();
    if (!core->initialize())
        return false;
    core->localeManager()->setLanguage(u"en"_s);
    if (credentials) {
        core->configuration()->setCredentials(u"demo"_s, u"demo-password"_s);
        core->configuration()->setWizardCompleted(true);
    }
    return true;
}

QStringList TestAccountPanels::kinds(const QStringList &wanted) const
{
    QStringList result;
    for (const ProviderSimulator::Envelope &envelope : simulator->envelopes()) {
        if (wanted.contains(envelope.kind))
            result.append(envelope.kind);
    }
    return result;
}

void TestAccountPanels::beforeFirstStatus_data()
{
    QTest::addColumn<bool>("credentials");
    QTest::addColumn<bool>("providerTexts");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("stored credentials")
        << true << true << QStringList { u"Fetching current account status ..."_s };
    QTest::newRow("no credentials: the provider's invitation")
        << false << true
        << QStringList { u"<font size=\"+1\">Your account at a glance.</font>"_s, u"[Log in]"_s };
    QTest::newRow("no credentials, no texts from the provider")
        << false << false
        << QStringList { u"<font size=\"+1\">Sign in with your account to see its status here.</font>"_s,
               u"[Sign In]"_s };
}

void TestAccountPanels::beforeFirstStatus()
{
    QFETCH(bool, credentials);
    QFETCH(bool, providerTexts);
    QFETCH(QStringList, shown);

    QJsonObject data = ProviderSimulator::demoData();
    if (providerTexts) {
        QJsonObject variables = data.value("variables"_L1).toObject();
        QJsonArray strings = variables.value("strings"_L1).toArray();
        strings.append(QJsonObject {
            { u"key"_s, u"user.panel.info.text"_s }, { u"text"_s, u"Your account at a glance."_s } });
        strings.append(QJsonObject { { u"key"_s, u"user.panel.info.button"_s }, { u"text"_s, u"Log in"_s } });
        variables.insert("strings"_L1, strings);
        data.insert("variables"_L1, variables);
    }
    QVERIFY(start(data, credentials));
    QWidget window;
    auto *account = new MyAccountPanel(core.get(), &window);
    UserPanel panel(core.get(), account, &window);
    window.show();
    // The provider's texts arrive after the panel was made.
    QSignalSpy variables(core.get(), &Core::variablesUpdated);
    core->requestVariables();
    QVERIFY(variables.wait(10000));

    auto *stack = panel.findChild<QStackedWidget *>();
    QWidget *page = stack->currentWidget();
    QVERIFY(page != account);
    QCOMPARE(visibleTexts(page), shown);
    auto *activity = page->findChild<AnimationWidget *>();
    QCOMPARE(activity && activity->isRunning(), credentials);
}

void TestAccountPanels::statusRowsInOrder()
{
    QJsonObject data = ProviderSimulator::demoData();
    QJsonArray accounts = data.value("accounts"_L1).toArray();
    QJsonObject demo = accounts.at(0).toObject();
    const auto setRows = [&](const QList<std::pair<QString, QString>> &rows) {
        QJsonArray list;
        for (const auto &[label, value] : rows)
            list.append(QJsonObject { { u"label"_s, label }, { u"value"_s, value } });
        demo.insert("rows"_L1, list);
        accounts.replace(0, demo);
        data.insert("accounts"_L1, accounts);
    };
    setRows({ { u"Plan"_s, u"Premium"_s }, { u"Expires"_s, u"2030-01-01"_s }, { u"Devices"_s, u"5"_s } });
    QVERIFY(start(data, true));
    QWidget window;
    auto *account = new MyAccountPanel(core.get(), &window);
    UserPanel panel(core.get(), account, &window);
    window.show();
    QVERIFY(!button(account, u"My Control Panel"_s)->isVisible());

    QSignalSpy status(core.get(), &Core::userStatusUpdated);
    core->login();
    QVERIFY(status.wait(10000));
    QCOMPARE(panel.findChild<QStackedWidget *>()->currentWidget(), account);
    QCOMPARE(
        statusRows(account), QStringList({ u"Plan=Premium"_s, u"Expires=2030-01-01"_s, u"Devices=5"_s }));
    QStringList boxes;
    for (QGroupBox *box : account->findChildren<QGroupBox *>())
        boxes.append(box->title() + (box->isVisible() ? u" shown"_s : u" hidden"_s));
    QCOMPARE(boxes, QStringList({ u"Account Status shown"_s, u"Offers hidden"_s }));

    // The next status replaces the rows, whatever their number.
    setRows({ { u"Plan"_s, u"Basic"_s } });
    QVERIFY(simulator->setData(data));
    status.clear();
    core->updateStatus();
    QVERIFY(status.wait(10000));
    QCOMPARE(statusRows(account), QStringList { u"Plan=Basic"_s });

    button(account, u"My Control Panel"_s)->click();
    QTRY_COMPARE_WITH_TIMEOUT(
        Recorder::lines(browserLog), QStringList { u"https://noxel.invalid/account"_s }, 10000);
}

void TestAccountPanels::changeLoginOnce_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QStringList>("sent");

    QTest::newRow("cancelled: no login") << false << QStringList { u"status"_s };
    QTest::newRow("accepted: logged in again")
        << true << QStringList { u"login-check"_s, u"login"_s, u"status"_s };
}

void TestAccountPanels::changeLoginOnce()
{
    QFETCH(bool, accept);
    QFETCH(QStringList, sent);

    QVERIFY(start(ProviderSimulator::demoData(), true));
    QWidget window;
    MyAccountPanel panel(core.get(), &window, &window);
    window.show();
    QPushButton *change = button(&panel, u"Change Login Account"_s);
    QVERIFY(change);

    int opened = 0;
    QWidget *parent = nullptr;
    bool emptyFields = false;
    QPointer<LoginDialog> dialog;
    // Runs inside the dialog's own event loop: a second click, then a look at what
    // is open (inside the second dialog's loop, should the click have opened one).
    QTimer::singleShot(0, this, [&] {
        QTimer::singleShot(0, this, [&] {
            QList<LoginDialog *> dialogs;
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (auto *login = qobject_cast<LoginDialog *>(top); login && login->isVisible())
                    dialogs.append(login);
            }
            opened = int(dialogs.size());
            dialog = dialogs.value(0);
            if (opened != 1) {
                for (LoginDialog *login : std::as_const(dialogs))
                    login->reject();
                return;
            }
            parent = dialog->parentWidget();
            emptyFields = dialog->findChild<QLineEdit *>(u"username"_s)->text().isEmpty()
                && dialog->findChild<QLineEdit *>(u"password"_s)->text().isEmpty();
            if (accept)
                dialog->submit(u"demo"_s, u"demo-password"_s);
            else
                dialog->reject();
        });
        change->click();
    });
    change->click();
    QCOMPARE(opened, 1);
    QCOMPARE(parent, &window);
    QVERIFY(emptyFields);
    QTRY_VERIFY(!dialog);

    // Requests go out in order: a login would come before this status.
    core->updateStatus();
    QTRY_VERIFY_WITH_TIMEOUT(kinds({ u"status"_s }).size() == 1, 10000);
    QCOMPARE(kinds({ u"login-check"_s, u"login"_s, u"status"_s }), sent);
}

void TestAccountPanels::renew_data()
{
    QTest::addColumn<QString>("defaultSubscription");
    QTest::addColumn<QString>("defaultOption");
    QTest::addColumn<int>("pickedSubscription"); // a row, or -1 for the provider's choice
    QTest::addColumn<QString>("pickedOption");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("opened");

    QTest::newRow("no payment method")
        << u"12m"_s << QString() << -1 << QString() << u"Please choose a payment method."_s << QString();
    QTest::newRow("no subscription") << QString() << u"card"_s << -1 << QString()
                                     << u"Please choose a subscription."_s << QString();
    QTest::newRow("neither: the payment method first")
        << QString() << QString() << -1 << QString() << u"Please choose a payment method."_s << QString();
    QTest::newRow("the provider's choice") << u"12m"_s << u"card"_s << -1 << QString() << QString()
                                           << u"https://noxel.invalid/checkout/card?subscription=12m"_s;
    QTest::newRow("the user's choice") << u"12m"_s << u"card"_s << 0 << u"paypal"_s << QString()
                                       << u"https://noxel.invalid/checkout/paypal?subscription=1m"_s;
}

void TestAccountPanels::renew()
{
    QFETCH(QString, defaultSubscription);
    QFETCH(QString, defaultOption);
    QFETCH(int, pickedSubscription);
    QFETCH(QString, pickedOption);
    QFETCH(QString, warning);
    QFETCH(QString, opened);

    QJsonObject data = ProviderSimulator::demoData();
    data.insert("links"_L1,
        QJsonObject { { u"payment_card"_s, u"https://noxel.invalid/checkout/card"_s },
            { u"payment_paypal"_s, u"https://noxel.invalid/checkout/paypal"_s } });
    QVERIFY(start(data, true));
    QPointer<PaymentDialog> dialog = new PaymentDialog(core.get(), nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setNotification(offer(defaultSubscription, defaultOption));
    dialog->show();
    auto *list = dialog->findChild<QListView *>();
    QCOMPARE(list->model()->index(0, 0).data().toString(), u"One month, 9 \u20ac"_s);
    if (pickedSubscription >= 0)
        list->setCurrentIndex(list->model()->index(pickedSubscription, 0));
    if (!pickedOption.isEmpty())
        dialog->findChild<QRadioButton *>(u"payment_"_s + pickedOption)->click();

    button(dialog, u"Renew Account"_s)->click();
    if (!warning.isEmpty()) {
        QTRY_VERIFY(dialog->findChild<QMessageBox *>());
        auto *box = dialog->findChild<QMessageBox *>();
        QCOMPARE(box->windowTitle(), u"Warning"_s);
        QCOMPARE(box->text(), warning);
        box->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(!dialog->findChild<QMessageBox *>());
        QVERIFY(dialog->isVisible());
        QVERIFY(kinds({ u"url"_s }).isEmpty());
        return;
    }
    QTRY_VERIFY(!dialog);
    QTRY_COMPARE_WITH_TIMEOUT(Recorder::lines(browserLog), QStringList { opened }, 10000);
}

void TestAccountPanels::pictures()
{
    PictureServer server;
    QVERIFY(server.isListening());
    server.pictures.insert("/card.png", png(80, 40));
    QVERIFY(start(ProviderSimulator::demoData(), true));
    const PaymentNotification notification
        = offer(u"12m"_s, u"card"_s, u"Your plan ends"_s, server.url(u"card.png"_s));

    auto *dialog = new PaymentDialog(core.get(), nullptr);
    dialog->setNotification(notification);
    dialog->show();
    const QList<ExtendedLabel *> pictures = dialog->findChildren<ExtendedLabel *>();
    QCOMPARE(pictures.size(), 2);
    // The picture that came with the offer is there at once; the card's follows.
    QCOMPARE(pictures.at(1)->pixmap().size(), QSize(30, 10));
    QTRY_COMPARE_WITH_TIMEOUT(pictures.at(0)->pixmap().deviceIndependentSize(), QSizeF(40, 20), 10000);
    delete dialog;

    // A dialog closed while its picture is on the way leaves nothing behind.
    server.holding = true;
    dialog = new PaymentDialog(core.get(), nullptr);
    dialog->setNotification(notification);
    QTRY_COMPARE_WITH_TIMEOUT(server.requests, 2, 10000);
    QCOMPARE(core->downloadManager()->activeCount(), 1);
    delete dialog;
    int finished = 0;
    QObject receiver;
    connect(
        core->downloadManager(), &DownloadManager::downloadFinished, &receiver, [&finished] { ++finished; });
    server.release();
    QTRY_COMPARE_WITH_TIMEOUT(core->downloadManager()->activeCount(), 0, 10000);
    QCOMPARE(finished, 0);
}

void TestAccountPanels::offersFromTheSession()
{
    QVERIFY(start(ProviderSimulator::demoData(), true));
    QWidget window;
    SessionDialogs dialogs(core.get(), &window);

    QVERIFY(dialogs.offerPayment(offer(u"12m"_s, u"card"_s)));
    QPointer<PaymentDialog> dialog = window.findChild<PaymentDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(dialog->testAttribute(Qt::WA_DeleteOnClose));

    // The same offer again leaves the user's choice alone.
    dialog->findChild<QRadioButton *>(u"payment_paypal"_s)->click();
    QVERIFY(!dialogs.offerPayment(offer(u"12m"_s, u"card"_s)));
    QVERIFY(dialog->findChild<QRadioButton *>(u"payment_paypal"_s)->isChecked());

    // A new one takes the open dialog, with the dialog's own words where it has none.
    QVERIFY(!dialogs.offerPayment(offer(u"12m"_s, u"card"_s, QString())));
    QCOMPARE(window.findChildren<PaymentDialog *>(), QList<PaymentDialog *> { dialog.data() });
    QVERIFY(dialog->findChild<QRadioButton *>(u"payment_card"_s)->isChecked());
    QCOMPARE(dialog->findChild<QLabel *>(u"heading"_s)->text(), u"Account Expired. Renew Now!"_s);

    button(dialog, u"Remind Me Later"_s)->click();
    QTRY_VERIFY(!dialog);
    QVERIFY(dialogs.offerPayment(offer(u"12m"_s, u"card"_s)));
    QCOMPARE(window.findChildren<PaymentDialog *>().size(), 1);
}

NOXEL_APP_TEST_MAIN(TestAccountPanels)
#include "tst_accountpanels.moc"
