#include "alertwidget.h"
#include "core.h"
#include "createticketrequest.h"
#include "helppanel.h"
#include "localemanager.h"
#include "logpanel.h"
#include "message.h"
#include "mirrow.h"
#include "networkmanager.h"
#include "providersimulator.h"
#include "testhome.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

// The log and help panels over a Core that talks to the provider simulator.

namespace {

QPushButton *button(QWidget *panel, const QString &text)
{
    const QList<QPushButton *> buttons = panel->findChildren<QPushButton *>();
    for (QPushButton *candidate : buttons) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

// A closed loopback port: every connection is refused, so requests never go out.
const QString Unreachable = u"127.0.0.1:1"_s;

} // namespace

class TestSupportPanels : public QObject
{
    Q_OBJECT

public:
    explicit TestSupportPanels(const TestHome &) { }

private slots:
    void cleanup();
    void copyToClipboard_data();
    void copyToClipboard();
    void sendEnabled_data();
    void sendEnabled();
    void reportSentOnce();
    void ticketAnswer_data();
    void ticketAnswer();

private:
    // Starts Core against the simulator, or against `address` when it is given.
    bool start(const QString &address = QString(), const QString &fault = QString());
    int envelopeCount(const QString &kind) const;

    ProviderSimulator simulator;
    std::unique_ptr<Core> core;
};

bool TestSupportPanels::start(const QString &address, const QString &fault)
{
    if (address.isEmpty() && !simulator.start(ProviderSimulator::demoData(), fault))
        return false;
    qputenv(Mirrow::AddressesVariable, (address.isEmpty() ? simulator.address() : address).toUtf8());
    core = std::make_unique<Core>();
    if (!core->initialize())
        return false;
    core->localeManager()->setLanguage(u"en"_s);
    return true;
}

int TestSupportPanels::envelopeCount(const QString &kind) const
{
    int count = 0;
    const QList<ProviderSimulator::Envelope> envelopes = simulator.envelopes();
    for (const ProviderSimulator::Envelope &envelope : envelopes)
        count += envelope.kind == kind ? 1 : 0;
    return count;
}

void TestSupportPanels::cleanup()
{
    core.reset();
    simulator.stop();
}

void TestSupportPanels::copyToClipboard_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("clipboard");

    QTest::newRow("empty log leaves the clipboard") << QStringList() << u"before"_s;
    QTest::newRow("lines, one per line") << QStringList { u"first"_s, u"second"_s } << u"first\nsecond"_s;
}

void TestSupportPanels::copyToClipboard()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, clipboard);

    QVERIFY(start(Unreachable));
    LogPanel panel(core.get());
    for (const QString &line : std::as_const(lines))
        panel.lineAdded(line);
    QApplication::clipboard()->setText(u"before"_s);
    QPushButton *copy = button(&panel, u"Copy to Clipboard"_s);
    QVERIFY(copy);
    copy->click();
    QCOMPARE(QApplication::clipboard()->text(), clipboard);
}

void TestSupportPanels::sendEnabled_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("all filled") << u"a@b.c"_s << u"Hi"_s << u"Text"_s << true;
    QTest::newRow("no e-mail") << QString() << u"Hi"_s << u"Text"_s << false;
    QTest::newRow("no subject") << u"a@b.c"_s << QString() << u"Text"_s << false;
    QTest::newRow("no message") << u"a@b.c"_s << u"Hi"_s << QString() << false;
    QTest::newRow("nothing") << QString() << QString() << QString() << false;
}

void TestSupportPanels::sendEnabled()
{
    QFETCH(QString, email);
    QFETCH(QString, subject);
    QFETCH(QString, message);
    QFETCH(bool, enabled);

    QVERIFY(start(Unreachable));
    HelpPanel panel(core.get());
    const QList<QLineEdit *> edits = panel.findChildren<QLineEdit *>();
    QCOMPARE(edits.size(), 2);
    edits.at(0)->setText(email);
    edits.at(1)->setText(subject);
    panel.findChild<QTextEdit *>()->setPlainText(message);
    QPushButton *send = button(&panel, u"Send"_s);
    QVERIFY(send);
    QCOMPARE(send->isEnabled(), enabled);
}

void TestSupportPanels::reportSentOnce()
{
    // The answer is held back long enough to see the button stay disabled.
    QVERIFY(start(QString(), u"delay:1500"_s));
    HelpPanel panel(core.get());
    QPushButton *sendReport = button(&panel, u"Send Report"_s);
    QVERIFY(sendReport);
    sendReport->click();
    QVERIFY(!sendReport->isEnabled());
    panel.sendReport();
    QTest::qWait(500);
    QVERIFY(!sendReport->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(panel.findChild<QMessageBox *>(), 15000);
    QMessageBox *box = panel.findChild<QMessageBox *>();
    QCOMPARE(box->windowTitle(), u"Report was sent"_s);
    QCOMPARE(box->text(), u"The report was transmitted successfully."_s);
    QVERIFY(sendReport->isEnabled());
    QCOMPARE(envelopeCount(u"error-report"_s), 1);
    const QList<ProviderSimulator::Envelope> envelopes = simulator.envelopes();
    for (const ProviderSimulator::Envelope &envelope : envelopes) {
        if (envelope.kind == "error-report"_L1)
            QVERIFY2(envelope.xml.contains("<name>General</name>") && envelope.xml.contains("Version: "),
                envelope.xml.constData());
    }
}

void TestSupportPanels::ticketAnswer_data()
{
    QTest::addColumn<QString>("email");
    // An answer given in place of the provider's; empty for the simulator's own.
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("kept");

    QTest::newRow("two errors, one per line")
        << u"a@b.c"_s
        << QByteArray("<create-ticket><errors><error>First problem</error><error>Second problem</error>"
                      "</errors></create-ticket>")
        << int(Message::Error) << u"First problem\r\nSecond problem"_s << true;
    QTest::newRow("refused by the provider")
        << u" "_s << QByteArray() << int(Message::Error) << u"An e-mail address is needed"_s << true;
    QTest::newRow("taken") << u"a@b.c"_s << QByteArray() << int(Message::Success) << u"Ticket %1 created"_s
                           << false;
}

void TestSupportPanels::ticketAnswer()
{
    QFETCH(QString, email);
    QFETCH(QByteArray, answer);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(bool, kept);

    QVERIFY(start(answer.isEmpty() ? QString() : Unreachable));
    HelpPanel panel(core.get());
    const QList<QLineEdit *> edits = panel.findChildren<QLineEdit *>();
    edits.at(0)->setText(email);
    edits.at(1)->setText(u"Subject"_s);
    auto *message = panel.findChild<QTextEdit *>();
    message->setPlainText(u"Message"_s);
    QPushButton *send = button(&panel, u"Send"_s);
    QVERIFY(send->isEnabled());
    send->click();
    QVERIFY(!send->isEnabled());
    QVERIFY(!message->isEnabled());

    if (!answer.isEmpty()) {
        auto *request = panel.findChild<CreateTicketRequest *>();
        QVERIFY(request);
        QVERIFY(core->networkManager()->cancelRequest(request));
        QXmlStreamReader reader(answer);
        reader.readNextStartElement();
        QVERIFY(request->readBody(reader));
        emit request->requestFinished();
    }

    auto *alert = panel.findChild<AlertWidget *>();
    QTRY_VERIFY_WITH_TIMEOUT(!alert->isHidden(), 15000);
    QCOMPARE(alert->kind(), kind);
    if (kind == Message::Success) {
        QVERIFY(QRegularExpression(QRegularExpression::anchoredPattern(text.arg(u"\\d+"_s)))
                    .match(alert->text())
                    .hasMatch());
        QCOMPARE(envelopeCount(u"create-ticket"_s), 1);
    } else {
        QCOMPARE(alert->text(), text);
    }
    QCOMPARE(edits.at(0)->text(), kept ? email : QString());
    QCOMPARE(message->toPlainText(), kept ? u"Message"_s : QString());
    QVERIFY(message->isEnabled());
    QCOMPARE(send->isEnabled(), kept);
}

NOXEL_APP_TEST_MAIN(TestSupportPanels)

#include "tst_supportpanels.moc"
