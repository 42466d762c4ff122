#include "core.h"
#include "logmanager.h"
#include "mirrow.h"
#include "tapinstalldialog.h"
#include "testhome.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

#include <memory>

// The tun device dialog runs its set-up script with stand-ins of modprobe and mknod
// first on PATH, so that nothing loads a module or makes a device node. modprobe
// prints $NOXEL_TEST_MODPROBE_OUTPUT, after waiting for $NOXEL_TEST_MODPROBE_GATE
// to exist when that is set; mknod always fails. The device is a path in the
// test's folder, or /dev/null where the device is to be present already.

namespace {

const char *const ModprobeScript
    = "#!/bin/sh\n"
      "echo \"$*\" >> \"$NOXEL_TEST_TAP_DIR/modprobe.calls\"\n"
      "n=0\n"
      "while [ -n \"$NOXEL_TEST_MODPROBE_GATE\" ] && [ ! -e \"$NOXEL_TEST_MODPROBE_GATE\" ] "
      "&& [ $n -lt 600 ]; do sleep 0.05; n=$((n+1)); done\n"
      "[ -n \"$NOXEL_TEST_MODPROBE_OUTPUT\" ] && printf '%s\\n' \"$NOXEL_TEST_MODPROBE_OUTPUT\"\n"
      "exit 0\n";
const char *const MknodScript = "#!/bin/sh\n"
                                "echo \"$*\" >> \"$NOXEL_TEST_TAP_DIR/mknod.calls\"\n"
                                "echo 'mknod: the stand-in makes no device' >&2\n"
                                "exit 1\n";

QString closedAddress()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return QStringLiteral("127.0.0.1:") + QString::number(server.serverPort());
}

// A dialog as the OpenVPN driver opens it, and what it announced.
struct Session
{
    std::unique_ptr<Core> core = std::make_unique<Core>();
    QPointer<TapInstallDialog> dialog = new TapInstallDialog(core->logManager(), nullptr);
    QList<bool> finished;

    Session()
    {
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &TapInstallDialog::tapInstallFinished, core.get(),
            [this](bool success) { finished << success; });
    }

    ~Session() { delete dialog; }

    QPushButton *button() const { return dialog ? dialog->findChild<QPushButton *>() : nullptr; }
};

} // namespace

class TestTapInstallDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void outcome_data();
    void outcome();
    void oneSetUpAtATime();
    void closedBeforeSetUp_data();
    void closedBeforeSetUp();

private:
    QString filePath(const QString &name) const { return dir.filePath(name); }
    int lines(const QString &name) const;

    QTemporaryDir dir;
};

void TestTapInstallDialog::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkpath(filePath(QStringLiteral("bin"))));
    const QList<QPair<QString, const char *>> programs { { QStringLiteral("modprobe"), ModprobeScript },
        { QStringLiteral("mknod"), MknodScript } };
    for (const auto &program : programs) {
        QFile file(filePath(QStringLiteral("bin/") + program.first));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(program.second);
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    qputenv("PATH", QFile::encodeName(filePath(QStringLiteral("bin"))) + ':' + qgetenv("PATH"));
    qputenv("NOXEL_TEST_TAP_DIR", QFile::encodeName(dir.path()));
    qputenv(Mirrow::AddressesVariable, closedAddress().toUtf8());
}

void TestTapInstallDialog::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QProcess: Destroyed while process")));
    QFile::remove(filePath(QStringLiteral("modprobe.calls")));
    QFile::remove(filePath(QStringLiteral("mknod.calls")));
    QFile::remove(filePath(QStringLiteral("gate")));
    qunsetenv("NOXEL_TEST_MODPROBE_GATE");
    qunsetenv("NOXEL_TEST_MODPROBE_OUTPUT");
    qputenv("NOXEL_TUN_DEVICE", QFile::encodeName(filePath(QStringLiteral("dev/net/tun"))));
}

void TestTapInstallDialog::cleanup()
{
    // Lets a stand-in that still waits go.
    QFile gate(filePath(QStringLiteral("gate")));
    if (gate.open(QIODevice::WriteOnly))
        gate.close();
}

int TestTapInstallDialog::lines(const QString &name) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return int(file.readAll().count('\n'));
}

void TestTapInstallDialog::outcome_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("devicePresent");
    QTest::addColumn<bool>("success");
    QTest::addColumn<int>("mknodCalls");

    QTest::newRow("success") << QStringLiteral("success") << false << true << 1;
    QTest::newRow("upper case") << QStringLiteral("SUCCESS") << false << true << 1;
    QTest::newRow("mixed case within a line")
        << QStringLiteral("tun: SuCcEsSfully loaded") << false << true << 1;
    QTest::newRow("module missing") << QStringLiteral(
        "modprobe: FATAL: Module tun not found in directory /lib/modules/6.1.0")
                                    << false << false << 1;
    QTest::newRow("no output") << QString() << false << false << 1;
    QTest::newRow("device already present") << QString() << true << true << 0;
}

void TestTapInstallDialog::outcome()
{
    QFETCH(QString, output);
    QFETCH(bool, devicePresent);
    QFETCH(bool, success);
    QFETCH(int, mknodCalls);

    qputenv("NOXEL_TEST_MODPROBE_OUTPUT", output.toUtf8());
    if (devicePresent)
        qputenv("NOXEL_TUN_DEVICE", "/dev/null");
    Session session;
    session.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(session.dialog));
    QVERIFY(session.button());
    QTest::mouseClick(session.button(), Qt::LeftButton);
    QVERIFY(session.dialog->isInstalling());

    QTRY_VERIFY_WITH_TIMEOUT(!session.dialog, 15000);
    QCOMPARE(session.finished, QList<bool> { success });
    QCOMPARE(lines(QStringLiteral("modprobe.calls")), 1);
    QCOMPARE(lines(QStringLiteral("mknod.calls")), mknodCalls);
    QTRY_VERIFY(
        session.core->logManager()->data(LogManager::OpenVpnLevel).contains("Tunnel device set-up: "));
    if (!output.isEmpty())
        QVERIFY(session.core->logManager()->data(LogManager::OpenVpnLevel).contains(output.toUtf8()));
}

void TestTapInstallDialog::oneSetUpAtATime()
{
    qputenv("NOXEL_TEST_MODPROBE_GATE", QFile::encodeName(filePath(QStringLiteral("gate"))));
    qputenv("NOXEL_TEST_MODPROBE_OUTPUT", "success");
    Session session;
    session.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(session.dialog));
    QTest::mouseClick(session.button(), Qt::LeftButton);
    QTest::mouseClick(session.button(), Qt::LeftButton);
    session.dialog->installDriver();
    QVERIFY(session.dialog->isInstalling());
    QTRY_COMPARE(lines(QStringLiteral("modprobe.calls")), 1);

    // Closing while the set-up runs does nothing, whichever way.
    QVERIFY(!session.dialog->close());
    QTest::keyClick(session.dialog, Qt::Key_Escape);
    QTest::qWait(200);
    QVERIFY(session.dialog);
    QVERIFY(session.dialog->isVisible());
    QVERIFY(session.dialog->isInstalling());
    QVERIFY(session.finished.isEmpty());

    QFile gate(filePath(QStringLiteral("gate")));
    QVERIFY(gate.open(QIODevice::WriteOnly));
    gate.close();
    QTRY_VERIFY_WITH_TIMEOUT(!session.dialog, 15000);
    QCOMPARE(session.finished, QList<bool> { true });
    QCOMPARE(lines(QStringLiteral("modprobe.calls")), 1);
}

void TestTapInstallDialog::closedBeforeSetUp_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("close") << QStringLiteral("close");
    QTest::newRow("Escape") << QStringLiteral("escape");
    QTest::newRow("reject") << QStringLiteral("reject");
}

// The driver waits for tapInstallFinished() before it lets OpenVPN start again.
void TestTapInstallDialog::closedBeforeSetUp()
{
    QFETCH(QString, how);

    Session session;
    session.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(session.dialog));
    if (how == QLatin1String("close"))
        session.dialog->close();
    else if (how == QLatin1String("escape"))
        QTest::keyClick(session.dialog, Qt::Key_Escape);
    else
        session.dialog->reject();
    QTRY_VERIFY(!session.dialog);
    QCOMPARE(session.finished, QList<bool> { false });
    QCOMPARE(lines(QStringLiteral("modprobe.calls")), 0);
}

int main(int argc, char *argv[])
{
    TestHome home;
    if (!home.isValid()) {
        qCritical("cannot set up a temporary home");
        return 1;
    }
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    TestTapInstallDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tapinstalldialog.moc"
