// The program's entry as a user meets it: `noxel` started while another instance
// runs, the first start's autostart set-up, and the command line. A later start is
// checked against singleapp_probe holding the program's own guard key, which shows
// the exact bytes handed over.

#include "childprocess.h"
#include "instanceclient.h"
#include "sandbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString Program = QStringLiteral(NOXEL_PROGRAM);
const QString Probe = QStringLiteral(NOXEL_PROBE);
const QString ProgramKey = QStringLiteral("Noxel");

// tap_version tells the program the tun driver is in place, so that a run as an
// ordinary user does not relaunch itself through pkexec.
const QString TapVersion = QStringLiteral("tap_version=9.21");

const QByteArray FakePkexec = "#!/bin/sh\ntouch \"$(dirname \"$0\")/pkexec-was-run\"\n";

} // namespace

class TestProgramEntry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void laterStartHandsOverAndExits_data();
    void laterStartHandsOverAndExits();
    void laterStartLeavesRunningProgram();
    void firstStartSetsUpAutoStart_data();
    void firstStartSetsUpAutoStart();
    void commandLineAnsweredWithoutDisplay_data();
    void commandLineAnsweredWithoutDisplay();
    void acceptedOptionsStart_data();
    void acceptedOptionsStart();
};

void TestProgramEntry::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(QFileInfo(Program).isExecutable(), qPrintable(Program));
    QVERIFY2(QFileInfo(Probe).isExecutable(), qPrintable(Probe));
}

void TestProgramEntry::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QProcess: Destroyed while process")));
}

void TestProgramEntry::laterStartHandsOverAndExits_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");

    const QString file = QStringLiteral("/home/jürgen/Mes VPN/Zürich – 東京 \U0001F680.ovpn");
    QTest::newRow("no arguments") << QStringList { TapVersion } << QStringList() << QStringLiteral("PING");
    QTest::newRow("file with spaces and non-ASCII")
        << QStringList { TapVersion } << QStringList { file } << file;
    QTest::newRow("two files") << QStringList { TapVersion }
                               << QStringList { file, QStringLiteral("/tmp/other.ovpn") } << file;
    // Elevation is for a program that goes on running; a later start only hands over.
    // The autostart entry's option is no file.
    QTest::newRow("autostart option")
        << QStringList { TapVersion } << QStringList { QStringLiteral("-l") } << QStringLiteral("PING");
    // Qt takes its options and their values before the file is looked for.
    QTest::newRow("Qt option with a value, then a file")
        << QStringList { TapVersion }
        << QStringList { QStringLiteral("-style"), QStringLiteral("fusion"), file } << file;
    QTest::newRow("run_elevated set") << QStringList { TapVersion, QStringLiteral("run_elevated=true") }
                                      << QStringList() << QStringLiteral("PING");
}

void TestProgramEntry::laterStartHandsOverAndExits()
{
    QFETCH(QStringList, settings);
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    QVERIFY(sandbox.addProgram(QStringLiteral("pkexec"), FakePkexec));
    QVERIFY(sandbox.writeSettings(settings));

    ChildProcess first(sandbox.environment());
    QVERIFY(first.start(Probe, { ProgramKey }));
    QVERIFY(first.waitForLine("first", 5000));

    ChildProcess later(sandbox.environment());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(later.start(Program, arguments));
    QVERIFY(later.waitForFinished(10000));
    QCOMPARE(later.exitStatus(), QProcess::NormalExit);
    QCOMPARE(later.exitCode(), 0);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));

    QVERIFY(first.waitForLine("message " + expected.toUtf8().toHex(), 3000));
    QCOMPARE(first.values("message").size(), 1);

    // Setting up the program is the first instance's business, not a later start's.
    QVERIFY(!QFileInfo::exists(sandbox.path() + QStringLiteral("/bin/pkexec-was-run")));
    QVERIFY(sandbox.setting(QStringLiteral("auto_start")).isNull());
    QVERIFY(!QFileInfo::exists(sandbox.autoStartFileName()));
}

void TestProgramEntry::laterStartLeavesRunningProgram()
{
    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    QVERIFY(sandbox.writeSettings({ TapVersion }));

    ChildProcess first(sandbox.environment());
    QVERIFY(first.start(Program));
    QVERIFY(InstanceClient::waitUntilServing(sandbox.socketPath(ProgramKey), 10000));

    ChildProcess later(sandbox.environment());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(later.start(Program));
    QVERIFY(later.waitForFinished(10000));
    QCOMPARE(later.exitStatus(), QProcess::NormalExit);
    QCOMPARE(later.exitCode(), 0);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));

    QVERIFY(first.isRunning());
    QVERIFY(InstanceClient::waitUntilServing(sandbox.socketPath(ProgramKey), 5000));
    QVERIFY(first.isRunning());
}

void TestProgramEntry::firstStartSetsUpAutoStart_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("autoStart");
    QTest::addColumn<bool>("entry");

    // A first run starts with the session from then on.
    QTest::newRow("auto_start absent") << QStringList { TapVersion } << QStringLiteral("true") << true;
    // The user's choice stays.
    QTest::newRow("auto_start false")
        << QStringList { TapVersion, QStringLiteral("auto_start=false") } << QStringLiteral("false") << false;
}

void TestProgramEntry::firstStartSetsUpAutoStart()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, autoStart);
    QFETCH(bool, entry);

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    QVERIFY(sandbox.writeSettings(settings));

    ChildProcess first(sandbox.environment());
    QVERIFY(first.start(Program));
    // Serving messages means the start-up is behind it.
    QVERIFY(InstanceClient::waitUntilServing(sandbox.socketPath(ProgramKey), 10000));
    QVERIFY(first.isRunning());

    QCOMPARE(sandbox.setting(QStringLiteral("auto_start")), autoStart);
    QCOMPARE(QFileInfo::exists(sandbox.autoStartFileName()), entry);
    if (!entry)
        return;
    QFile file(sandbox.autoStartFileName());
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    const QStringList exec = lines.filter(QRegularExpression(QStringLiteral("^Exec=")));
    QCOMPARE(exec.size(), 1);
    QVERIFY2(exec.first().endsWith(QLatin1String(" -l")), qPrintable(exec.first()));
    QVERIFY2(exec.first().contains(QFileInfo(Program).absoluteFilePath()), qPrintable(exec.first()));
}

void TestProgramEntry::commandLineAnsweredWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("firstLine");
    QTest::addColumn<QByteArrayList>("errors");

    const QByteArray usage = "Usage: noxel [options] [file]";
    QTest::newRow("--help") << QStringList { QStringLiteral("--help") } << 0 << usage << QByteArrayList();
    QTest::newRow("-h after a Qt option and a file") << QStringList { QStringLiteral("-style"),
        QStringLiteral("fusion"), QStringLiteral("/tmp/a.ovpn"), QStringLiteral("-h") }
                                                     << 0 << usage << QByteArrayList();
    QTest::newRow("--version") << QStringList { QStringLiteral("--version") } << 0
                               << QByteArray("Noxel 2.3.1") << QByteArrayList();
    QTest::newRow("-v with the autostart option")
        << QStringList { QStringLiteral("-l"), QStringLiteral("-v") } << 0 << QByteArray("Noxel 2.3.1")
        << QByteArrayList();
    QTest::newRow("unknown option") << QStringList { QStringLiteral("--frobnicate") } << 2 << QByteArray()
                                    << QByteArrayList { "noxel: unknown option '--frobnicate'",
                                           "Try 'noxel --help'." };
    QTest::newRow("unknown option before --help")
        << QStringList { QStringLiteral("/tmp/a.ovpn"), QStringLiteral("-x"), QStringLiteral("--help") } << 2
        << QByteArray() << QByteArrayList { "noxel: unknown option '-x'", "Try 'noxel --help'." };
}

void TestProgramEntry::commandLineAnsweredWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, firstLine);
    QFETCH(QByteArrayList, errors);

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    QVERIFY(sandbox.writeSettings({ TapVersion }));
    QProcessEnvironment environment = sandbox.environment();
    // No display of any kind: a program that opened one would abort.
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));

    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(Program, arguments);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const QByteArrayList output = program.readAllStandardOutput().split('\n');
    QCOMPARE(output.first(), firstLine);
    QByteArrayList errorLines = program.readAllStandardError().split('\n');
    errorLines.removeAll(QByteArray());
    QCOMPARE(errorLines, errors);
    // Answered before the program set anything up, the guard included.
    QCOMPARE(QDir(sandbox.runtimeFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QVERIFY(sandbox.setting(QStringLiteral("auto_start")).isNull());
}

void TestProgramEntry::acceptedOptionsStart_data()
{
    QTest::addColumn<QStringList>("arguments");

    // What the autostart entry passes.
    QTest::newRow("-l") << QStringList { QStringLiteral("-l") };
    QTest::newRow("Qt options") << QStringList { QStringLiteral("-style"), QStringLiteral("fusion"),
        QStringLiteral("-reverse"), QStringLiteral("--platform"), QStringLiteral("offscreen") };
    // What a session manager passes when it restores the program.
    QTest::newRow("-session") << QStringList { QStringLiteral("-session"), QStringLiteral("10d2c3") };
    QTest::newRow("a file") << QStringList { QStringLiteral("/tmp/a.ovpn") };
}

void TestProgramEntry::acceptedOptionsStart()
{
    QFETCH(QStringList, arguments);

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    QVERIFY(sandbox.writeSettings({ TapVersion }));
    ChildProcess program(sandbox.environment());
    QVERIFY(program.start(Program, arguments));
    QVERIFY(InstanceClient::waitUntilServing(sandbox.socketPath(ProgramKey), 10000));
    QVERIFY(program.isRunning());
}

QTEST_GUILESS_MAIN(TestProgramEntry)
#include "tst_programentry.moc"
