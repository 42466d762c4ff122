#include "bandwidthwidget.h"
#include "configuration.h"
#include "connectionpanel.h"
#include "core.h"
#include "databasemanager.h"
#include "fakeopenvpn.h"
#include "fixedport.h"
#include "mirrow.h"
#include "openvpn.h"
#include "providersimulator.h"
#include "sessiondialogs.h"
#include "stringformat.h"
#include "styledbutton.h"
#include "testhome.h"
#include "vpnclient.h"
#include "vpnmanager.h"
#include "vpnservermodel.h"
#include "vpntest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QJsonArray>
#include <QLabel>
#include <QMessageBox>
#include <QMetaEnum>
#include <QPointer>
#include <QRadioButton>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

// The connection panel over a real session: the provider simulator answers, the
// catalogue holds the servers below with stored pings, and what the panel hands
// to the connection engine runs against the stand-in openvpn.

namespace {

// How far the session has come when the panel is built.
enum Stage { Offline, NotSetUp, BeforeStatus, LoggedIn };

struct Seed
{
    QString uid, location, countryCode, country;
    double lng, lat;
    int ping, capacity;
    bool stealth;
};

// With the provider's limits (ping 50, capacity 40) the first two are loaded, the
// third is the best server and the nearest alternative to both.
const QList<Seed> Seeds {
    { u"de-fra-busy"_s, u"Frankfurt"_s, u"DE"_s, u"Germany"_s, 8.68, 50.11, 120, 85, true },
    { u"de-fra-full"_s, u"Frankfurt"_s, u"DE"_s, u"Germany"_s, 8.68, 50.11, 20, 10, false },
    { u"de-off-1"_s, u"Offenbach"_s, u"DE"_s, u"Germany"_s, 8.76, 50.10, 10, 90, true },
    { u"us-nyc-1"_s, u"New York"_s, u"US"_s, u"United States"_s, -74.0, 40.71, 30, 60, false },
};

QString address(int i)
{
    return u"127.0.3.%1"_s.arg(i + 1);
}

QJsonObject providerData()
{
    QJsonObject data = ProviderSimulator::demoData();
    QJsonArray servers;
    for (int i = 0; i < Seeds.size(); ++i) {
        const Seed &seed = Seeds.at(i);
        QJsonObject entry { { u"uid"_s, seed.uid }, { u"host"_s, QString(seed.uid + u".noxel.invalid"_s) },
            { u"address"_s, address(i) }, { u"capacity"_s, seed.capacity }, { u"provider"_s, QJsonValue(0) },
            { u"location"_s,
                QJsonObject {
                    { u"name"_s, seed.location }, { u"lng"_s, seed.lng }, { u"lat"_s, seed.lat } } },
            { u"country"_s, QJsonObject { { u"code"_s, seed.countryCode }, { u"name"_s, seed.country } } } };
        if (seed.stealth)
            entry.insert("stealth"_L1, QJsonObject { { u"address"_s, address(i) }, { u"port"_s, 443 } });
        servers.append(entry);
    }
    data.insert("servers"_L1, servers);
    QJsonArray resources;
    const QList<QPair<QString, QString>> configs { { u"ovpn_tcp"_s,
                                                       u"proto tcp-client\nremote __HOST_NAME__ 443"_s },
        { u"ovpn_udp"_s, u"proto udp\nremote __HOST_NAME__ 1194"_s },
        { u"ovpn_stealth"_s, u"proto tcp-client\nremote 127.0.0.1 __LOCAL_PORT__"_s } };
    for (const auto &[protocol, lines] : configs) {
        resources.append(QJsonObject { { u"key"_s, u"config"_s }, { u"provider"_s, QJsonValue(0) },
            { u"protocol"_s, protocol }, { u"file_name"_s, u"config.ovpn"_s }, { u"encoding"_s, u"text"_s },
            { u"content"_s, QString(u"client\ndev tun\n"_s + lines + u'\n') } });
    }
    data.insert("resources"_L1, resources);
    QJsonObject variables = data.value("variables"_L1).toObject();
    QJsonArray strings = variables.value("strings"_L1).toArray();
    for (const QString &language : { u"en"_s, u"de"_s }) {
        const bool en = language == "en"_L1;
        strings.append(QJsonObject { { u"key"_s, u"dialog.inactive.title"_s }, { u"lang"_s, language },
            { u"text"_s, en ? u"Account closed"_s : u"Konto geschlossen"_s } });
        strings.append(QJsonObject { { u"key"_s, u"dialog.inactive.text"_s }, { u"lang"_s, language },
            { u"text"_s, en ? u"Renew your plan to connect."_s : u"Verlängern Sie Ihren Tarif."_s } });
    }
    variables.insert("strings"_L1, strings);
    data.insert("variables"_L1, variables);
    return data;
}

void setPref(QJsonObject &data, const QString &name, const QString &type, const QString &value)
{
    QJsonObject variables = data.value("variables"_L1).toObject();
    QJsonArray prefs = variables.value("prefs"_L1).toArray();
    for (qsizetype i = prefs.size() - 1; i >= 0; --i) {
        if (prefs.at(i).toObject().value("name"_L1).toString() == name)
            prefs.removeAt(i);
    }
    prefs.append(QJsonObject { { u"type"_s, type }, { u"name"_s, name }, { u"value"_s, value } });
    variables.insert("prefs"_L1, prefs);
    data.insert("variables"_L1, variables);
}

void setAccount(QJsonObject &data, const QString &field, const QJsonValue &value)
{
    QJsonArray accounts = data.value("accounts"_L1).toArray();
    QJsonObject account = accounts.at(0).toObject();
    account.insert(field, value);
    accounts.replace(0, account);
    data.insert("accounts"_L1, accounts);
}

// Answers the modal dialogs from inside their event loops and notes each: a message
// box as "title: text", another dialog by its class. What the answer leaves alone is
// turned down and noted so, so that a failing test ends instead of waiting for a user.
class ModalAnswerer : public QObject
{
public:
    // False for a dialog it does not mean to answer.
    using Answer = std::function<bool(QWidget *)>;

    ModalAnswerer()
    {
        connect(&timer, &QTimer::timeout, this, &ModalAnswerer::poll);
        timer.start(20);
    }

    void setAnswer(Answer handler) { answer = std::move(handler); }
    QStringList seen() const { return names; }
    QStringList informativeTexts() const { return informative; }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || answered.contains(modal))
            return;
        answered.append(modal);
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            names.append(box->windowTitle() + u": "_s + box->text());
            informative.append(box->informativeText());
        } else {
            names.append(QString::fromLatin1(modal->metaObject()->className()));
        }
        if (answer && answer(modal))
            return;
        names.last() += u" (turned down)"_s;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    }

    QTimer timer;
    Answer answer;
    QList<QPointer<QWidget>> answered;
    QStringList names;
    QStringList informative;
};

// Presses the message box's button of that text, with "Don't ask again" ticked
// first when asked; an empty text closes the box without any button.
ModalAnswerer::Answer pressing(const QString &button, bool dontAsk = false)
{
    return [button, dontAsk](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return false;
        if (dontAsk && box->checkBox())
            box->checkBox()->setChecked(true);
        if (button.isEmpty()) {
            box->reject();
            return true;
        }
        const QList<QAbstractButton *> buttons = box->buttons();
        for (QAbstractButton *candidate : buttons) {
            if (candidate->text().remove(u'&') == button) {
                candidate->click();
                return true;
            }
        }
        return false;
    };
}

QStringList connectedDialogue()
{
    return FakeOpenVpn::handshake(u"vpn-demo"_s, u"vpn-demo-password"_s)
        + QStringList { u"send >LOG:1700000005,I,Initialization Sequence Completed"_s };
}

} // namespace

Q_DECLARE_METATYPE(Stage)

class TestConnectionPanel : public QObject
{
    Q_OBJECT

public:
    explicit TestConnectionPanel(const FakeOpenVpn &fake)
        : fake(fake)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void checksBeforeConnecting_data();
    void checksBeforeConnecting();
    void highLoadAlternative_data();
    void highLoadAlternative();
    void attemptFollowsProtocol_data();
    void attemptFollowsProtocol();
    void protocolChoice_data();
    void protocolChoice();
    void buttonAndFiguresFollowState();

private:
    bool start(Stage stage, const QJsonObject &data = providerData());
    bool select(const QString &uid) const;
    template<typename T> T *child(const std::function<bool(T *)> &which) const;
    QRadioButton *radio(const QString &text) const;
    QString checkedRadio() const;
    QString figure(const QString &label) const;
    // Brings an attempt that reached the engine to its end.
    void finishAttempt();

    const FakeOpenVpn &fake;
    std::unique_ptr<ProviderSimulator> simulator;
    std::unique_ptr<Core> core;
    std::unique_ptr<QWidget> window;
    std::unique_ptr<ConnectionPanel> panel;
    std::unique_ptr<ModalAnswerer> modals;
    // "uid/protocol" of each attempt the engine took in hand, and its VPN user.
    QStringList attempts;
    QString vpnUser;
};

void TestConnectionPanel::initTestCase()
{
    QVERIFY2(fake.isValid(), qPrintable(fake.reason()));
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestConnectionPanel::init()
{
    QTest::failOnWarning(QRegularExpression(u"QProcess: Destroyed while process"_s));
    QSettings().clear();
    // The texts compared below are the English ones, whatever the machine's locale.
    QSettings().setValue(u"language"_s, u"en"_s);
    fake.clearRecord();
    fake.setDialogue(connectedDialogue());
    attempts.clear();
    vpnUser.clear();
    modals = std::make_unique<ModalAnswerer>();
    NOXEL_WAIT_FOR_FIXED_PORT(OpenVpn::ManagementPort);
}

void TestConnectionPanel::cleanup()
{
    if (core)
        finishAttempt();
    panel.reset();
    core.reset();
    window.reset();
    simulator.reset();
    modals.reset();
    const QList<qint64> left = fake.running(u"openvpn"_s) + fake.running(u"stunnel4"_s);
    fake.killAll();
    QVERIFY2(left.isEmpty(), "a stand-in outlived its driver");
}

bool TestConnectionPanel::start(Stage stage, const QJsonObject &data)
{
    if (stage != Offline) {
        simulator = std::make_unique<ProviderSimulator>();
        if (!simulator->start(data))
            return false;
    }
    qputenv(
        Mirrow::AddressesVariable, (simulator ? simulator->address() : VpnTest::closedAddress()).toUtf8());
    core = std::make_unique<Core>();
    window = std::make_unique<QWidget>();
    core->setSessionFeedback(new SessionDialogs(core.get(), window.get()));
    if (!core->initialize())
        return false;

    // Pings stored just now, so that the catalogue measures nothing itself.
    QList<VpnServer> records;
    for (int i = 0; i < Seeds.size(); ++i) {
        records.append(VpnServer());
        records.last().setUid(Seeds.at(i).uid);
        records.last().setAddress(address(i));
    }
    if (!core->databaseManager()->updateServers(records))
        return false;
    for (int i = 0; i < Seeds.size(); ++i)
        core->databaseManager()->setPing(records[i], Seeds.at(i).ping);
    VpnManager *catalogue = core->vpnManager();
    catalogue->load();
    if (stage != Offline) {
        // Capacities, places and stealth entries come with the provider's list.
        QSignalSpy variables(core.get(), &Core::variablesUpdated);
        QSignalSpy listed(catalogue, &VpnManager::vpnServersChanged);
        core->requestVariables();
        if (!catalogue->updateVpnServers() || !listed.wait(15000)
            || (variables.isEmpty() && !variables.wait(15000)))
            return false;
    }
    if (stage >= BeforeStatus) {
        core->configuration()->setCredentials(u"demo"_s, u"demo-password"_s);
        core->configuration()->setWizardCompleted(true);
    }

    panel = std::make_unique<ConnectionPanel>(core.get());
    VpnClient *client = core->vpnClient();
    connect(client, &VpnClient::currentServerChanged, panel.get(), [this, client](const VpnServer &server) {
        if (server.isNull())
            return;
        attempts << server.uid() + u'/' + Vpn::GetProtocolKey(client->currentConfiguration().protocol());
        vpnUser = client->currentConfiguration().username();
    });
    if (stage == LoggedIn) {
        // The login refreshes the list too, which resets the rows: wait for that.
        QSignalSpy status(core.get(), &Core::userStatusUpdated);
        QSignalSpy listed(catalogue, &VpnManager::vpnServersChanged);
        core->login();
        if (!status.wait(15000) || (listed.isEmpty() && !listed.wait(15000)))
            return false;
    }
    return true;
}

bool TestConnectionPanel::select(const QString &uid) const
{
    auto *view = panel->findChild<QTreeView *>();
    auto *rows = qobject_cast<QSortFilterProxyModel *>(view->model());
    auto *servers = qobject_cast<VpnServerModel *>(rows->sourceModel());
    for (int row = 0; row < rows->rowCount(); ++row) {
        if (servers->serverAt(rows->mapToSource(rows->index(row, 0))).uid() == uid) {
            view->setCurrentIndex(rows->index(row, 0));
            return true;
        }
    }
    return false;
}

template<typename T> T *TestConnectionPanel::child(const std::function<bool(T *)> &which) const
{
    const QList<T *> children = panel->findChildren<T *>();
    const auto it = std::find_if(children.cbegin(), children.cend(), which);
    return it == children.cend() ? nullptr : *it;
}

QRadioButton *TestConnectionPanel::radio(const QString &text) const
{
    return child<QRadioButton>([&text](QRadioButton *radio) { return radio->text() == text; });
}

QString TestConnectionPanel::checkedRadio() const
{
    const QRadioButton *checked = child<QRadioButton>([](QRadioButton *radio) { return radio->isChecked(); });
    return checked ? checked->text() : QString();
}

QString TestConnectionPanel::figure(const QString &label) const
{
    const auto *form = panel->findChild<QFormLayout *>();
    for (int row = 0; row < form->rowCount(); ++row) {
        if (qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget())->text() == label)
            return qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::FieldRole)->widget())->text();
    }
    return QString();
}

void TestConnectionPanel::finishAttempt()
{
    VpnClient *client = core->vpnClient();
    (void)QTest::qWaitFor(
        [client] { return client->state() == VpnConnection::Connected || !client->hasConnection(); }, 20000);
    client->disconnect();
    QTRY_VERIFY_WITH_TIMEOUT(!client->hasConnection(), 20000);
}

void TestConnectionPanel::checksBeforeConnecting_data()
{
    QTest::addColumn<Stage>("stage");
    QTest::addColumn<QString>("account"); // what is amiss with it
    QTest::addColumn<QString>("selected"); // empty: no row
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("dialogs");
    QTest::addColumn<QString>("attempt"); // empty: nothing reaches the engine

    const QStringList noServer { u"No server selected: No server selected"_s };
    const QString nyc = u"us-nyc-1"_s;
    QTest::newRow("no row, Ok") << LoggedIn << QString() << QString() << u"OK"_s << noServer << QString();
    QTest::newRow("no row, Auto select: the best server")
        << LoggedIn << QString() << QString() << u"Auto select"_s << noServer << u"de-off-1"_s;
    QTest::newRow("the provider never answered")
        << Offline << QString() << nyc << u"OK"_s
        << QStringList { u"Error: Unable to connect to server. Please check your internet connection."_s }
        << QString();
    QTest::newRow("not set up: the wizard, cancelled")
        << NotSetUp << QString() << nyc << QString() << QStringList { u"WizardDialog (turned down)"_s }
        << QString();
    QTest::newRow("not set up, no trials: the login dialog, cancelled")
        << NotSetUp << u"no trials"_s << nyc << QString() << QStringList { u"LoginDialog (turned down)"_s }
        << QString();
    QTest::newRow("before the first user status: once logged in")
        << BeforeStatus << QString() << nyc << QString() << QStringList() << nyc;
    QTest::newRow("account may not connect")
        << LoggedIn << u"no term"_s << nyc << u"OK"_s
        << QStringList { u"Account closed: Renew your plan to connect."_s } << QString();
    QTest::newRow("account may not connect, user reads German")
        << LoggedIn << u"no term, de"_s << nyc << QString()
        << QStringList { u"Konto geschlossen: Verlängern Sie Ihren Tarif."_s } << QString();
    QTest::newRow("account without VPN credentials: silence")
        << LoggedIn << u"no VPN account"_s << nyc << QString() << QStringList() << QString();
    QTest::newRow("all is well") << LoggedIn << QString() << nyc << QString() << QStringList() << nyc;
}

void TestConnectionPanel::checksBeforeConnecting()
{
    QFETCH(Stage, stage);
    QFETCH(QString, account);
    QFETCH(QString, selected);
    QFETCH(QString, answer);
    QFETCH(QStringList, dialogs);
    QFETCH(QString, attempt);

    if (!attempt.isEmpty())
        NOXEL_REQUIRE_OPENVPN_CHILD();
    QJsonObject data = providerData();
    if (account == "no trials"_L1)
        setPref(data, u"trial_enabled"_s, u"bool"_s, u"false"_s);
    if (account.startsWith("no term"_L1))
        setAccount(data, u"term"_s, QJsonValue());
    if (account == "no VPN account"_L1)
        setAccount(data, u"vpn_account"_s, QJsonValue());
    if (account.endsWith(", de"_L1))
        QSettings().setValue(u"language"_s, u"de"_s);
    QVERIFY(start(stage, data));
    if (!selected.isEmpty())
        QVERIFY(select(selected));
    modals->setAnswer(pressing(answer));
    QSignalSpy showMe(panel.get(), &ConnectionPanel::showMe);

    panel->connectButtonClicked();
    QCOMPARE(showMe.count(), selected.isEmpty() ? 1 : 0);
    if (stage == NotSetUp || stage == BeforeStatus) {
        // Nothing at once; a login afterwards resumes an attempt that was put off, and no other.
        QTest::qWait(200);
        QCOMPARE(attempts, QStringList());
        core->configuration()->setCredentials(u"demo"_s, u"demo-password"_s);
        QSignalSpy loggedIn(core.get(), &Core::loggedIn);
        core->login();
        QVERIFY(loggedIn.wait(15000));
    }
    QCOMPARE(modals->seen(), dialogs);
    if (attempt.isEmpty()) {
        QTest::qWait(200);
        QCOMPARE(attempts, QStringList());
        QCOMPARE(fake.starts(), 0);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(attempts, QStringList { attempt + u"/ovpn_udp"_s }, 15000);
    if (selected.isEmpty())
        QCOMPARE(core->vpnManager()->bestServer().uid(), attempt);
    // The stand-in expects the account's VPN credentials before it reports the tunnel up.
    QCOMPARE(vpnUser, u"vpn-demo"_s);
    QTRY_COMPARE_WITH_TIMEOUT(core->vpnClient()->state(), VpnConnection::Connected, 15000);
    QCOMPARE(fake.starts(), 1);
}

void TestConnectionPanel::highLoadAlternative_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("pref"); // "name=value" the provider sends
    QTest::addColumn<bool>("offer"); // "offer_alternative" before
    QTest::addColumn<QString>("answer"); // empty: closed without a button
    QTest::addColumn<bool>("dontAsk");
    QTest::addColumn<bool>("offered");
    QTest::addColumn<QString>("attempt");

    const QString busy = u"de-fra-busy"_s, full = u"de-fra-full"_s, other = u"de-off-1"_s;
    const QString none;
    QTest::newRow("ping over min_ping, Yes") << busy << none << true << u"Yes"_s << false << true << other;
    QTest::newRow("ping over min_ping, No") << busy << none << true << u"No"_s << false << true << busy;
    QTest::newRow("capacity under min_capacity, Yes")
        << full << none << true << u"Yes"_s << false << true << other;
    QTest::newRow("capacity under min_capacity, No")
        << full << none << true << u"No"_s << false << true << full;
    QTest::newRow("closed without a button") << busy << none << true << none << false << true << none;
    QTest::newRow("don't ask again, Yes") << busy << none << true << u"Yes"_s << true << true << other;
    QTest::newRow("don't ask again, No") << full << none << true << u"No"_s << true << true << full;
    QTest::newRow("don't ask again, closed") << busy << none << true << none << true << true << none;
    QTest::newRow("offer switched off") << busy << none << false << u"Yes"_s << false << false << busy;
    QTest::newRow("the provider allows a slower ping")
        << busy << u"min_ping=200"_s << true << u"Yes"_s << false << false << busy;
    QTest::newRow("the provider allows less capacity")
        << full << u"min_capacity=5"_s << true << u"Yes"_s << false << false << full;
    QTest::newRow("a server under normal load")
        << other << none << true << u"Yes"_s << false << false << other;
}

void TestConnectionPanel::highLoadAlternative()
{
    QFETCH(QString, chosen);
    QFETCH(QString, pref);
    QFETCH(bool, offer);
    QFETCH(QString, answer);
    QFETCH(bool, dontAsk);
    QFETCH(bool, offered);
    QFETCH(QString, attempt);

    NOXEL_REQUIRE_OPENVPN_CHILD();
    QJsonObject data = providerData();
    if (!pref.isEmpty())
        setPref(data, pref.section(u'=', 0, 0), u"int"_s, pref.section(u'=', 1));
    QSettings().setValue(u"offer_alternative"_s, offer);
    QVERIFY(start(LoggedIn, data));
    QVERIFY(select(chosen));
    modals->setAnswer(pressing(answer, dontAsk));

    panel->connectButtonClicked();
    const QStringList box {
        u"High load on this server: This server has a high load and speed might be insufficient."_s
    };
    QCOMPARE(modals->seen(), offered ? box : QStringList());
    if (offered) {
        QCOMPARE(modals->informativeTexts().constFirst(),
            u"Would you like to connect to another server in <b>Offenbach (Germany)</b> instead?"_s);
    }
    const bool offerAfter = offer && !(offered && dontAsk);
    QCOMPARE(core->configuration()->offerAlternative(), offerAfter);
    QCOMPARE(QSettings().value(u"offer_alternative"_s, true).toBool(), offerAfter);
    QTest::qWait(200);
    QCOMPARE(attempts, attempt.isEmpty() ? QStringList() : QStringList { attempt + u"/ovpn_udp"_s });

    // Once more to the same server: asked again only while the offer stands.
    finishAttempt();
    attempts.clear();
    QVERIFY(select(chosen));
    modals->setAnswer(pressing(u"No"_s));
    panel->connectButtonClicked();
    QCOMPARE(modals->seen().size(), offered ? (offerAfter ? 2 : 1) : 0);
    QCOMPARE(attempts, QStringList { chosen + u"/ovpn_udp"_s });
}

void TestConnectionPanel::attemptFollowsProtocol_data()
{
    QTest::addColumn<QString>("radioText");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("remote"); // in the OpenVPN configuration; empty: no OpenVPN

    QTest::newRow("OpenVPN TCP") << u"OpenVPN (TCP)"_s << u"ovpn_tcp"_s
                                 << u"remote de-off-1.noxel.invalid 443"_s;
    QTest::newRow("OpenVPN UDP") << u"OpenVPN (UDP)"_s << u"ovpn_udp"_s
                                 << u"remote de-off-1.noxel.invalid 1194"_s;
    QTest::newRow("Stealth") << u"Stealth OpenVPN"_s << u"ovpn_stealth"_s
                             << u"remote 127.0.0.1 %1"_s.arg(OpenVpn::StealthPort);
    QTest::newRow("L2TP") << u"L2TP"_s << u"l2tp"_s << QString();
    QTest::newRow("PPTP") << u"PPTP"_s << u"pptp"_s << QString();
}

void TestConnectionPanel::attemptFollowsProtocol()
{
    QFETCH(QString, radioText);
    QFETCH(QString, protocol);
    QFETCH(QString, remote);

    NOXEL_REQUIRE_OPENVPN_CHILD();
    QVERIFY(start(LoggedIn));
    QVERIFY(select(u"de-off-1"_s));
    QVERIFY(radio(radioText));
    radio(radioText)->click();
    QCOMPARE(checkedRadio(), radioText);

    child<StyledButton>([](StyledButton *button) { return button->text() == "Connect"_L1; })->click();
    QCOMPARE(attempts, QStringList { u"de-off-1/"_s + protocol });
    QCOMPARE(vpnUser, u"vpn-demo"_s);
    if (remote.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(!core->vpnClient()->hasConnection(), 20000);
        QCOMPARE(fake.starts(), 0);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(core->vpnClient()->state(), VpnConnection::Connected, 15000);
    QCOMPARE(fake.starts(), 1);
    QFile config(OpenVpn::configDirectory() + u"/config.ovpn"_s);
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(config.readAll());
    QVERIFY2(text.contains(remote), qPrintable(text));
}

void TestConnectionPanel::protocolChoice_data()
{
    QTest::addColumn<bool>("allowed"); // the account's stealth flag: the radio is shown
    QTest::addColumn<QString>("lastProtocol"); // from an earlier run
    // "select <uid>", "click <radio>", or "default <key>": the provider's new default,
    // which the panel hears of with the status after the one that carried it.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("checked"); // once logged in, then after each step
    QTest::addColumn<QString>("stored"); // "last_protocol" at the end

    const QString tcp = u"OpenVPN (TCP)"_s, udp = u"OpenVPN (UDP)"_s, stealth = u"Stealth OpenVPN"_s;
    const QString none;
    QTest::newRow("Stealth leaves with a server without it and comes back")
        << true << none
        << QStringList { u"select de-off-1"_s, u"click Stealth OpenVPN"_s, u"select us-nyc-1"_s,
               u"select de-fra-full"_s, u"select de-fra-busy"_s }
        << QStringList { udp, udp, stealth, tcp, tcp, stealth } << u"ovpn_stealth"_s;
    QTest::newRow("a pick in between ends the way back")
        << true << none
        << QStringList { u"select de-off-1"_s, u"click Stealth OpenVPN"_s, u"select us-nyc-1"_s,
               u"click OpenVPN (UDP)"_s, u"select de-fra-busy"_s }
        << QStringList { udp, udp, stealth, tcp, udp, udp } << u"ovpn_udp"_s;
    // No row is selected at first, so no server offers Stealth yet.
    QTest::newRow("Stealth of the last run comes with a server that has it")
        << true << u"ovpn_stealth"_s << QStringList { u"select us-nyc-1"_s, u"select de-off-1"_s }
        << QStringList { tcp, tcp, stealth } << u"ovpn_stealth"_s;
    QTest::newRow("Stealth of the last run, no longer allowed")
        << false << u"ovpn_stealth"_s << QStringList { u"select de-off-1"_s } << QStringList { udp, udp }
        << u"ovpn_stealth"_s;
    QTest::newRow("the pick outlives the provider's default")
        << true << none << QStringList { u"select us-nyc-1"_s, u"click PPTP"_s, u"default l2tp"_s }
        << QStringList { udp, udp, u"PPTP"_s, u"PPTP"_s } << u"pptp"_s;
    QTest::newRow("without a pick the provider's default rules")
        << false << none << QStringList { u"select us-nyc-1"_s, u"default l2tp"_s }
        << QStringList { udp, udp, u"L2TP"_s } << none;
}

void TestConnectionPanel::protocolChoice()
{
    QFETCH(bool, allowed);
    QFETCH(QString, lastProtocol);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, checked);
    QFETCH(QString, stored);

    if (!lastProtocol.isEmpty())
        QSettings().setValue(u"last_protocol"_s, lastProtocol);
    QJsonObject data = providerData();
    setAccount(data, u"stealth"_s, allowed);
    QVERIFY(start(LoggedIn, data));
    QCOMPARE(!radio(u"Stealth OpenVPN"_s)->isHidden(), allowed);
    QStringList seen { checkedRadio() };
    for (const QString &step : std::as_const(steps)) {
        const QString verb = step.section(u' ', 0, 0), object = step.section(u' ', 1);
        if (verb == "select"_L1) {
            QVERIFY(select(object));
        } else if (verb == "click"_L1) {
            QVERIFY2(radio(object) && radio(object)->isEnabled(), qPrintable(step));
            radio(object)->click();
        } else {
            setPref(data, u"default_protocol"_s, u"string"_s, object);
            QVERIFY(simulator->setData(data));
            QSignalSpy status(core.get(), &Core::userStatusUpdated);
            for (int time = 1; time <= 2; ++time) {
                core->updateStatus();
                QTRY_COMPARE_WITH_TIMEOUT(status.count(), time, 15000);
            }
        }
        seen << checkedRadio();
    }
    QCOMPARE(seen, checked);
    QCOMPARE(!radio(u"Stealth OpenVPN"_s)->isHidden(), allowed);
    QCOMPARE(core->configuration()->lastProtocol(), stored);
    QCOMPARE(QSettings().value(u"last_protocol"_s).toString(), stored);
}

void TestConnectionPanel::buttonAndFiguresFollowState()
{
    NOXEL_REQUIRE_OPENVPN_CHILD();
    QVERIFY(start(LoggedIn));
    auto *button = child<StyledButton>([](StyledButton *button) { return button->text() == "Connect"_L1; });
    QVERIFY(button);
    const QList<BandwidthWidget *> charts = panel->findChildren<BandwidthWidget *>();
    QCOMPARE(charts.size(), 2);
    const auto look = [&] {
        const char *style = QMetaEnum::fromType<StyledButton::Style>().valueToKey(button->buttonStyle());
        return u"%1 | %2 | %3 | charts %4"_s.arg(button->text(), QLatin1String(style),
            button->isAnimationRunning() ? u"busy"_s : u"still"_s,
            charts.at(0)->isEnabled() && charts.at(1)->isEnabled() ? u"on"_s : u"off"_s);
    };
    // Connected after the panel, so this sees what the panel made of each state.
    QStringList looks { look() };
    VpnClient *client = core->vpnClient();
    QObject scope;
    connect(client, &VpnClient::vpnConnectionStateChanged, &scope, [&] { looks << look(); });
    QCOMPARE(figure(u"Duration:"_s), u"00:00:00"_s);

    QVERIFY(select(u"us-nyc-1"_s));
    button->click();
    QTRY_COMPARE_WITH_TIMEOUT(client->state(), VpnConnection::Connected, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(client->connectedSeconds() >= 1, 10000);
    const int before = client->connectedSeconds();
    panel->updateConnectionTime();
    const int after = client->connectedSeconds();
    const QString duration = figure(u"Duration:"_s);
    const QRegularExpressionMatch parts
        = QRegularExpression(u"^(\\d{2,}):(\\d{2}):(\\d{2})$"_s).match(duration);
    QVERIFY2(parts.hasMatch(), qPrintable(duration));
    const int shown
        = parts.captured(1).toInt() * 3600 + parts.captured(2).toInt() * 60 + parts.captured(3).toInt();
    QVERIFY2(shown >= before && shown <= after, qPrintable(duration));

    // The same button ends the connection, and the figures go back to zero.
    button->click();
    QTRY_VERIFY_WITH_TIMEOUT(!client->hasConnection(), 20000);
    QCOMPARE(figure(u"Duration:"_s), u"00:00:00"_s);
    QCOMPARE(figure(u"Received:"_s), StringFormat::byteCount(0, false));
    QCOMPARE(figure(u"Sent:"_s), StringFormat::byteCount(0, false));
    QCOMPARE(attempts, QStringList { u"us-nyc-1/ovpn_udp"_s });
    QCOMPARE(looks,
        (QStringList { u"Connect | Success | still | charts off"_s,
            u"Connecting ... | Warning | busy | charts off"_s, u"Disconnect | Danger | still | charts on"_s,
            // The charts stay as they were until the connection is down.
            u"Disconnecting ... | Warning | busy | charts on"_s,
            u"Connect | Success | still | charts off"_s }));
}

int main(int argc, char *argv[])
{
    TestHome home;
    if (!home.isValid()) {
        qCritical("cannot set up a temporary home");
        return 1;
    }
    FakeOpenVpn fake;
    // The tun device is there, so the set-up dialog stays closed; the service's
    // settings go to the temporary home.
    if (!fake.provideTunDevice() || !QDir().mkpath(home.path() + u"/system"_s))
        return 1;
    qputenv("NOXEL_SYSTEM_CONFIG_DIR", QFile::encodeName(home.path() + u"/system"_s));
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(u"Noxel"_s);
    QCoreApplication::setApplicationName(u"Noxel"_s);
    TestConnectionPanel test(fake);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_connectionpanel.moc"
