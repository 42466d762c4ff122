#include "apitest.h"

#include "userstatus.h"

#include <QTest>

namespace {

UserStatus statusOf(const QString &children, const QString &attributes = QString())
{
    return ApiTest::fromXml<UserStatus>(
        QStringLiteral("<user-status%1>%2</user-status>").arg(attributes, children));
}

} // namespace

class TestUserStatus : public QObject
{
    Q_OBJECT

private slots:
    void flags_data();
    void flags();
    void message_data();
    void message();
    void term_data();
    void term();
    void vpnAccount();
    void vpnResources_data();
    void vpnResources();
    void rows();
    void paymentNotification();
    void paymentNotificationAttributes_data();
    void paymentNotificationAttributes();
    void nullStatus();
};

void TestUserStatus::flags_data()
{
    QTest::addColumn<QString>("attributes");
    QTest::addColumn<QString>("children");
    QTest::addColumn<int>("updateInterval");
    QTest::addColumn<qint64>("timestamp");
    QTest::addColumn<bool>("admin");
    QTest::addColumn<bool>("trial");
    QTest::addColumn<bool>("stealth");
    QTest::addColumn<bool>("disconnect");
    QTest::addColumn<bool>("active");

    QTest::newRow("empty") << QString() << QString() << 0 << qint64(0) << false << false << false << false
                           << false;
    QTest::newRow("interval and time")
        << QStringLiteral(" update-interval=\"600\" timestamp=\"1712345678901\"") << QString() << 600
        << qint64(1712345678901) << false << false << false << false << false;
    QTest::newRow("not numbers") << QStringLiteral(" update-interval=\"soon\" timestamp=\"\"") << QString()
                                 << 0 << qint64(0) << false << false << false << false << false;
    QTest::newRow("too big for their types")
        << QStringLiteral(" update-interval=\"4294967296\" timestamp=\"99999999999999999999\"") << QString()
        << 0 << qint64(0) << false << false << false << false << false;
    QTest::newRow("admin") << QString() << QStringLiteral("<admin/>") << 0 << qint64(0) << true << false
                           << false << false << false;
    QTest::newRow("trial") << QString() << QStringLiteral("<trial/>") << 0 << qint64(0) << false << true
                           << false << false << true;
    QTest::newRow("stealth and disconnect") << QString() << QStringLiteral("<stealth-ovpn/><vpn-disconnect/>")
                                            << 0 << qint64(0) << false << false << true << true << false;
    QTest::newRow("term") << QString()
                          << QStringLiteral(
                                 "<term start=\"2024-01-01 00:00:00\" end=\"2025-01-01 00:00:00\"/>")
                          << 0 << qint64(0) << false << false << false << false << true;
    QTest::newRow("all, flags with content")
        << QStringLiteral(" update-interval=\"60\"")
        << QStringLiteral("<admin>1</admin><trial></trial><stealth-ovpn>yes</stealth-ovpn><vpn-disconnect/>"
                          "<term/>")
        << 60 << qint64(0) << true << true << true << true << true;
}

void TestUserStatus::flags()
{
    QFETCH(QString, attributes);
    QFETCH(QString, children);
    QFETCH(int, updateInterval);
    QFETCH(qint64, timestamp);
    QFETCH(bool, admin);
    QFETCH(bool, trial);
    QFETCH(bool, stealth);
    QFETCH(bool, disconnect);
    QFETCH(bool, active);

    const UserStatus status = statusOf(children, attributes);
    QVERIFY(!status.isNull());
    QCOMPARE(status.updateInterval(), updateInterval);
    QCOMPARE(status.timestamp(), timestamp);
    QCOMPARE(status.isAdmin(), admin);
    QCOMPARE(status.isTrial(), trial);
    QCOMPARE(status.isStealthOpenVpn(), stealth);
    QCOMPARE(status.isVpnDisconnect(), disconnect);
    QCOMPARE(status.isActive(), active);
}

void TestUserStatus::message_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("statusUpdateLink");
    QTest::addColumn<bool>("orderLink");

    QTest::newRow("info") << QStringLiteral("<message type=\"info\"><text>Hello</text></message>") << 1
                          << QStringLiteral("Hello") << false << false;
    QTest::newRow("success") << QStringLiteral("<message type=\"success\"><text>Paid</text></message>") << 2
                             << QStringLiteral("Paid") << false << false;
    QTest::newRow("warning") << QStringLiteral("<message type=\"warning\"/>") << 3 << QString() << false
                             << false;
    QTest::newRow("error") << QStringLiteral(
        "<message type=\"error\"><text>Expired &amp; locked</text></message>")
                           << 4 << QStringLiteral("Expired & locked") << false << false;
    QTest::newRow("unknown type") << QStringLiteral("<message type=\"fatal\"><text>x</text></message>") << 0
                                  << QStringLiteral("x") << false << false;
    QTest::newRow("no type") << QStringLiteral("<message><text>x</text></message>") << 0
                             << QStringLiteral("x") << false << false;
    QTest::newRow("status-update link") << QStringLiteral("<message type=\"info\"><text>t</text>"
                                                          "<link type=\"status-update\"/></message>")
                                        << 1 << QStringLiteral("t") << true << false;
    QTest::newRow("order link") << QStringLiteral(
        "<message type=\"info\"><text>t</text><link type=\"order\"/></message>")
                                << 1 << QStringLiteral("t") << false << true;
    QTest::newRow("two links in a row")
        << QStringLiteral("<message type=\"warning\"><text>t</text><link type=\"status-update\"/>"
                          "<link type=\"order\"/></message>")
        << 3 << QStringLiteral("t") << true << true;
    QTest::newRow("two links, other order, with text")
        << QStringLiteral("<message type=\"warning\"><link type=\"order\">Buy now</link>"
                          "<link type=\"status-update\">Refresh</link><text>t</text></message>")
        << 3 << QStringLiteral("t") << true << true;
    QTest::newRow("two links, indented")
        << QStringLiteral("<message type=\"error\">\n  <text>t</text>\n  <link type=\"order\"></link>\n"
                          "  <link type=\"status-update\"></link>\n</message>")
        << 4 << QStringLiteral("t") << true << true;
    QTest::newRow("unknown link type")
        << QStringLiteral("<message type=\"info\"><link type=\"shop\"/><text>t</text></message>") << 1
        << QStringLiteral("t") << false << false;
}

void TestUserStatus::message()
{
    QFETCH(QString, xml);
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(bool, statusUpdateLink);
    QFETCH(bool, orderLink);

    // Inside a status with more after it: the message must not eat its siblings.
    const UserStatus status = statusOf(QStringLiteral("<admin/>") + xml + QStringLiteral("<trial/>"));
    const Message message = status.message();
    QVERIFY(!message.isNull());
    QCOMPARE(message.type(), type);
    QCOMPARE(message.text(), text);
    QCOMPARE(message.statusUpdateLink(), statusUpdateLink);
    QCOMPARE(message.orderLink(), orderLink);
    QVERIFY(status.isAdmin());
    QVERIFY(status.isTrial());
}

void TestUserStatus::term_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");

    QTest::newRow("both") << QStringLiteral(
        "<term start=\"2024-02-29 13:45:10\" end=\"2025-02-28 23:59:59\"/>")
                          << QDateTime(QDate(2024, 2, 29), QTime(13, 45, 10))
                          << QDateTime(QDate(2025, 2, 28), QTime(23, 59, 59));
    QTest::newRow("end only") << QStringLiteral("<term end=\"2030-12-31 00:00:00\"></term>") << QDateTime()
                              << QDateTime(QDate(2030, 12, 31), QTime(0, 0));
    QTest::newRow("wrong format") << QStringLiteral(
        "<term start=\"31.12.2024\" end=\"2024-12-31T10:00:00\"/>")
                                  << QDateTime() << QDateTime();
}

void TestUserStatus::term()
{
    QFETCH(QString, xml);
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);

    const UserStatus status = statusOf(xml + QStringLiteral("<admin/>"));
    const Term term = status.term();
    QVERIFY(!term.isNull());
    QCOMPARE(term.start(), start);
    QCOMPARE(term.end(), end);
    QVERIFY(status.isActive());
    QVERIFY(status.isAdmin());
}

void TestUserStatus::vpnAccount()
{
    const UserStatus status
        = statusOf(QStringLiteral("<vpn-account><username>vpn123</username><password>p&lt;w</password>"
                                  "<shared-secret>psk!</shared-secret></vpn-account><trial/>"));
    const VpnAccount account = status.vpnAccount();
    QVERIFY(!account.isNull());
    QCOMPARE(account.username(), QStringLiteral("vpn123"));
    QCOMPARE(account.password(), QStringLiteral("p<w"));
    QCOMPARE(account.sharedSecret(), QStringLiteral("psk!"));
    QVERIFY(status.isTrial());

    QVERIFY(statusOf(QString()).vpnAccount().isNull());
}

void TestUserStatus::vpnResources_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QStringList>("resources");

    QTest::newRow("none") << QStringLiteral("<vpn-resources/>") << QStringList();
    QTest::newRow("stealth") << QStringLiteral(
        "<vpn-resources><vpn-resource key=\"ca\" provider=\"2\" "
        "protocol=\"ovpn_stealth\" file-name=\"ca.crt\" encoding=\"base64\" "
        "server=\"de-fra-01\">QUJD</vpn-resource></vpn-resources>")
                             << QStringList({ QStringLiteral("ca|2|4|ca.crt|base64|de-fra-01|QUJD") });
    QTest::newRow("every known protocol")
        << QStringLiteral(
               "<vpn-resources><vpn-resource key=\"a\" protocol=\"ovpn_udp\"/>"
               "<vpn-resource key=\"b\" protocol=\"l2tp\"/><vpn-resource key=\"c\" protocol=\"pptp\"/>"
               "<vpn-resource key=\"d\" protocol=\"ovpn_tcp\"/></vpn-resources>")
        << QStringList({ QStringLiteral("a|0|1||||"), QStringLiteral("b|0|2||||"),
               QStringLiteral("c|0|3||||"), QStringLiteral("d|0|0||||") });
    QTest::newRow("unknown and absent protocol")
        << QStringLiteral("<vpn-resources><vpn-resource key=\"x\" protocol=\"wireguard\">x</vpn-resource>"
                          "<vpn-resource key=\"y\">y</vpn-resource></vpn-resources>")
        << QStringList({ QStringLiteral("x|0|0||||x"), QStringLiteral("y|0|0||||y") });
    QTest::newRow("provider not a number")
        << QStringLiteral("<vpn-resources><vpn-resource key=\"k\" provider=\"acme\"/>"
                          "<vpn-resource key=\"l\" provider=\"99999999999\"/></vpn-resources>")
        << QStringList({ QStringLiteral("k|0|0||||"), QStringLiteral("l|0|0||||") });
    QTest::newRow("multi-line content")
        << QStringLiteral("<vpn-resources><vpn-resource key=\"conf\" protocol=\"ovpn_tcp\"><![CDATA[client\n"
                          "remote x 443\n]]></vpn-resource></vpn-resources>")
        << QStringList({ QStringLiteral("conf|0|0||||client\nremote x 443\n") });
}

void TestUserStatus::vpnResources()
{
    QFETCH(QString, xml);
    QFETCH(QStringList, resources);

    const UserStatus status = statusOf(xml + QStringLiteral("<admin/>"));
    QStringList read;
    const QList<VpnResource> list = status.vpnResources();
    for (const VpnResource &resource : list) {
        QVERIFY(!resource.isNull());
        read << QStringList(
            { resource.key(), QString::number(resource.provider()), QString::number(resource.protocol()),
                resource.fileName(), resource.encoding(), resource.server(),
                QString::fromUtf8(resource.content()) })
                    .join(QLatin1Char('|'));
    }
    QCOMPARE(read, resources);
    QVERIFY(status.isAdmin());
}

void TestUserStatus::rows()
{
    const UserStatus status
        = statusOf(QStringLiteral("<rows><row><label>Plan</label><value>Premium</value></row>"
                                  "<row><value>only value</value></row><row/></rows><trial/>"));
    const QList<Row> rows = status.rows();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0).label(), QStringLiteral("Plan"));
    QCOMPARE(rows.at(0).value(), QStringLiteral("Premium"));
    QCOMPARE(rows.at(1).label(), QString());
    QCOMPARE(rows.at(1).value(), QStringLiteral("only value"));
    QVERIFY(!rows.at(2).isNull());
    QVERIFY(status.isTrial());
}

void TestUserStatus::paymentNotification()
{
    const UserStatus status = statusOf(QStringLiteral(
        "<payment-notification forced=\"true\" lock-secs=\"30\">"
        "<title>Renew</title><headline>Your plan ends</headline><text>Pick a plan.</text>"
        "<submit-button>Pay</submit-button><cancel-button>Later</cancel-button>"
        "<subscriptions default=\"12m\">"
        "<subscription key=\"1m\"><description>One month</description></subscription>"
        "<subscription key=\"12m\"><description>One year</description></subscription>"
        "</subscriptions>"
        "<payment-options default=\"card\">"
        "<payment-option key=\"card\" default=\"true\"><name>Card</name><pixmap dpr=\"2\">iVBORw==</pixmap>"
        "<url>https://pay.example.org/card</url></payment-option>"
        "<payment-option key=\"paypal\"><name>PayPal</name><pixmap>R0lG</pixmap></payment-option>"
        "</payment-options>"
        "</payment-notification><admin/>"));
    const PaymentNotification notification = status.paymentNotification();
    QVERIFY(!notification.isNull());
    QVERIFY(notification.isForced());
    QCOMPARE(notification.lockSecs(), 30);
    QCOMPARE(notification.title(), QStringLiteral("Renew"));
    QCOMPARE(notification.headline(), QStringLiteral("Your plan ends"));
    QCOMPARE(notification.text(), QStringLiteral("Pick a plan."));
    QCOMPARE(notification.submitButton(), QStringLiteral("Pay"));
    QCOMPARE(notification.cancelButton(), QStringLiteral("Later"));
    QCOMPARE(notification.defaultSubscription(), QStringLiteral("12m"));
    const QList<PaymentNotification::Subscription> subscriptions = notification.subscriptions();
    QCOMPARE(subscriptions.size(), 2);
    QCOMPARE(subscriptions.at(0).key, QStringLiteral("1m"));
    QCOMPARE(subscriptions.at(0).description, QStringLiteral("One month"));
    QCOMPARE(subscriptions.at(1).key, QStringLiteral("12m"));
    QCOMPARE(subscriptions.at(1).description, QStringLiteral("One year"));
    QCOMPARE(notification.defaultPaymentOption(), QStringLiteral("card"));
    const QList<PaymentNotification::PaymentOption> options = notification.paymentOptions();
    QCOMPARE(options.size(), 2);
    QCOMPARE(options.at(0).key, QStringLiteral("card"));
    QVERIFY(options.at(0).isDefault);
    QCOMPARE(options.at(0).name, QStringLiteral("Card"));
    QCOMPARE(options.at(0).pixmapDpr, 2.0);
    QCOMPARE(options.at(0).pixmap, QByteArray("\x89PNG"));
    QCOMPARE(options.at(0).url, QStringLiteral("https://pay.example.org/card"));
    QCOMPARE(options.at(1).key, QStringLiteral("paypal"));
    QVERIFY(!options.at(1).isDefault);
    QCOMPARE(options.at(1).name, QStringLiteral("PayPal"));
    QCOMPARE(options.at(1).pixmapDpr, 1.0);
    QCOMPARE(options.at(1).pixmap, QByteArray("GIF"));
    QCOMPARE(options.at(1).url, QString());
    QVERIFY(status.isAdmin());
}

void TestUserStatus::paymentNotificationAttributes_data()
{
    QTest::addColumn<QString>("attributes");
    QTest::addColumn<bool>("forced");
    QTest::addColumn<int>("lockSecs");

    QTest::newRow("none") << QString() << false << 0;
    QTest::newRow("forced false") << QStringLiteral(" forced=\"false\" lock-secs=\"5\"") << false << 5;
    QTest::newRow("lock not a number") << QStringLiteral(" forced=\"true\" lock-secs=\"ten\"") << true << 0;
    QTest::newRow("lock too big") << QStringLiteral(" lock-secs=\"2147483648\"") << false << 0;
}

void TestUserStatus::paymentNotificationAttributes()
{
    QFETCH(QString, attributes);
    QFETCH(bool, forced);
    QFETCH(int, lockSecs);

    const PaymentNotification notification
        = statusOf(QStringLiteral("<payment-notification%1/>").arg(attributes)).paymentNotification();
    QVERIFY(!notification.isNull());
    QCOMPARE(notification.isForced(), forced);
    QCOMPARE(notification.lockSecs(), lockSecs);
}

void TestUserStatus::nullStatus()
{
    const UserStatus status;
    QVERIFY(status.isNull());
    QVERIFY(!status.isActive());
    QVERIFY(!status.isAdmin());
    QVERIFY(status.message().isNull());
    QVERIFY(status.term().isNull());
    QVERIFY(status.paymentNotification().isNull());
}

NOXEL_API_TEST_MAIN(TestUserStatus)

#include "tst_userstatus.moc"
