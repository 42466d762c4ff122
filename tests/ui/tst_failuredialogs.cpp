#include "connectionerrordialog.h"
#include "core.h"
#include "hidpi.h"
#include "logmanager.h"
#include "mirrow.h"
#include "providersimulator.h"
#include "testhome.h"
#include "vpnfailuredialog.h"
#include "winutils.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

// The failure dialogs, with the provider simulator taking the reports and a stand-in
// pkexec noting the elevated relaunch. As root the elevation rows can only check
// that nothing is offered; run as another user to see the relaunch.
class TestFailureDialogs : public QObject
{
    Q_OBJECT

public:
    explicit TestFailureDialogs(const TestHome &home)
        : pkexecLog(home.path() + u"/pkexec.log"_s)
    {
        QFile script(home.path() + u"/pkexec"_s);
        if (script.open(QIODevice::WriteOnly))
            script.write("#!/bin/sh\necho \"$@\" >> '" + QFile::encodeName(pkexecLog) + "'\n");
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(home.path()) + ':' + qgetenv("PATH"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(simulator.start(ProviderSimulator::demoData()));
        qputenv(Mirrow::AddressesVariable, simulator.address().toUtf8());
        core = std::make_unique<Core>();
        QVERIFY(core->initialize());
    }

    void connectionError_data()
    {
        QTest::addColumn<int>("ending"); // 0: OK, 1: Escape, 2: the window closed
        QTest::addColumn<bool>("report");
        QTest::newRow("OK, reported") << 0 << true;
        QTest::newRow("Escape, reported") << 1 << true;
        QTest::newRow("window closed, reported") << 2 << true;
        QTest::newRow("OK, box unchecked: nothing sent") << 0 << false;
    }

    void connectionError()
    {
        QFETCH(int, ending);
        QFETCH(bool, report);
        const QByteArray marker = "refused " + QByteArray(QTest::currentDataTag());
        core->logManager()->addData(LogManager::OpenVpnLevel, marker + '\n');
        QTRY_VERIFY(core->logManager()->data(LogManager::OpenVpnLevel).contains(marker));
        QTRY_COMPARE(core->pendingErrorReports(), 0);
        const int before = reports().size();

        VpnServer server;
        server.setId(4711);
        const QString message = u"The VPN server refused the VPN user name or password."_s;
        QWidget parent;
        QPointer dialog = new ConnectionErrorDialog(core.get(), &parent);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setError(server, message);
        QSignalSpy closed(dialog.data(), &ConnectionErrorDialog::closed);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QVERIFY(dialog->width() >= mHiDpiSize(400) && dialog->height() >= mHiDpiSize(200));
        QStringList texts;
        for (const QLabel *label : dialog->findChildren<QLabel *>())
            texts << label->text();
        QVERIFY(texts.contains(u"4711"_s) && texts.contains(message));
        auto *box = dialog->findChild<QCheckBox *>();
        QVERIFY(box->isChecked());
        box->setChecked(report);

        if (ending == 0)
            dialog->findChild<QPushButton *>()->click();
        else if (ending == 1)
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            dialog->close();
        QCOMPARE(closed.size(), 1);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(closed.size(), 1);

        if (!report) {
            QCOMPARE(core->pendingErrorReports(), 0);
            QTest::qWait(500);
            QCOMPARE(reports().size(), before);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(reports().size(), before + 1, 10000);
        const QString sent = reports().constLast();
        for (const QString &part : QStringList { u"server-id=\"4711\""_s, message, u"<name>General</name>"_s,
                 u"Path: "_s + QCoreApplication::applicationFilePath(), u"<name>OpenVPN</name>"_s,
                 u"<data encoding=\"ISO-8859-1\">"_s, QString::fromLatin1(marker) })
            QVERIFY2(sent.contains(part), qPrintable(part));
    }

    void vpnFailure_data()
    {
        QTest::addColumn<Vpn::Protocol>("protocol");
        QTest::addColumn<bool>("tick"); // by a click on the explanation
        QTest::newRow("OpenVPN UDP, box left alone") << Vpn::OpenVpnUdp << false;
        QTest::newRow("PPTP, box ticked") << Vpn::Pptp << true;
    }

    void vpnFailure()
    {
        QFETCH(Vpn::Protocol, protocol);
        QFETCH(bool, tick);
        const bool admin = WinUtils::isRunningAsAdministrator();
        QSettings().remove(u"run_elevated"_s);
        QFile::remove(pkexecLog);

        QWidget parent;
        QPointer dialog = new VpnFailureDialog(&parent, protocol);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QSignalSpy quitRequested(dialog.data(), &VpnFailureDialog::quitRequested);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->minimumWidth(), mHiDpiSize(480));
        QCOMPARE(dialog->maximumWidth(), mHiDpiSize(480));
        QVERIFY(dialog->findChild<QLabel *>()->text().contains(Vpn::GetProtocolDisplayName(protocol)));
        auto *group = dialog->findChild<QGroupBox *>();
        QCOMPARE(group->isVisible(), !admin);
        auto *box = group->findChild<QCheckBox *>();
        QVERIFY(!box->isChecked());
        if (tick && !admin) {
            QTest::mouseClick(group->findChild<QLabel *>(), Qt::LeftButton);
            QVERIFY(box->isChecked());
        }
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QTRY_VERIFY(dialog.isNull());

        const bool elevates = tick && !admin;
        QCOMPARE(QSettings().value(u"run_elevated"_s, false).toBool(), elevates);
        QCOMPARE(quitRequested.size(), int(elevates));
        // pkexec runs detached: give it time to note a call, wanted or not.
        QTest::qWait(300);
        QTRY_COMPARE(pkexecCalls().isEmpty(), !elevates);
        QVERIFY2(!elevates || pkexecCalls().trimmed().endsWith(QCoreApplication::applicationFilePath()),
            qPrintable(pkexecCalls()));
        if (tick && admin)
            QSKIP("Running as root: the elevation choice is not offered, so only its absence was checked.");
    }

private:
    QStringList reports() const
    {
        QStringList found;
        for (const ProviderSimulator::Envelope &envelope : simulator.envelopes()) {
            if (envelope.kind == "error-report"_L1)
                found << QString::fromUtf8(envelope.xml);
        }
        return found;
    }

    QString pkexecCalls() const
    {
        QFile file(pkexecLog);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    const QString pkexecLog;
    ProviderSimulator simulator;
    // Made once the simulator runs: the core reads the provider's address when made.
    std::unique_ptr<Core> core;
};

NOXEL_APP_TEST_MAIN(TestFailureDialogs)
#include "tst_failuredialogs.moc"
