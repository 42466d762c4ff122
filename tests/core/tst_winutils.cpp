#include "logmanager.h"
#include "winutils.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString unit = QStringLiteral("NoxelTestService");

// Stands in for systemctl. For each unit U it keeps, in its folder:
//   U.state    the ActiveState shown (none: inactive)
//   U.after    "N STATE": after N more queries the unit moves to STATE
//   U.onstart  "STATE [N NEXT]": what start does; "fail" refuses, "same" keeps the state
//              (a start job not run yet) (none: active at once)
//   U.onstop   the same for stop (none: inactive at once)
//   U.broken   when present, every command on U fails
//   U.noreset  when present, reset-failed is refused (as polkit may)
// reset-failed makes a failed unit inactive. It appends every command line to "calls".
// Command lines of other shapes fail.
const char systemctlScript[] = R"sh(#!/bin/sh
dir='@DIR@'
echo "$*" >> "$dir/calls"
case "$1" in
    --version) echo "systemd 252 (stand-in)"; exit 0 ;;
    show) [ "$#" = 4 ] && [ "$2" = --property=ActiveState ] && [ "$3" = --value ] || exit 2; unit=$4 ;;
    start|stop) [ "$#" = 3 ] && [ "$2" = --no-block ] || exit 2; unit=$3 ;;
    reset-failed) [ "$#" = 2 ] || exit 2; unit=$2 ;;
    *) exit 2 ;;
esac
[ -e "$dir/$unit.broken" ] && { echo "Failed to connect to bus" >&2; exit 1; }
state="$dir/$unit.state"
after="$dir/$unit.after"
case "$1" in
show)
    if [ -f "$after" ]; then
        read n next < "$after"
        if [ "$n" -le 0 ]; then echo "$next" > "$state"; rm -f "$after"
        else echo "$((n - 1)) $next" > "$after"; fi
    fi
    if [ -f "$state" ]; then cat "$state"; else echo inactive; fi ;;
start|stop)
    if [ "$1" = start ]; then spec="$dir/$unit.onstart"; s=active; else spec="$dir/$unit.onstop"; s=inactive; fi
    n=; next=
    [ -f "$spec" ] && read s n next < "$spec"
    [ "$s" = fail ] && { echo "Job failed" >&2; exit 1; }
    [ "$s" = same ] && { s=$(cat "$state" 2>/dev/null) || s=inactive; }
    echo "$s" > "$state"
    if [ -n "$next" ]; then echo "$n $next" > "$after"; else rm -f "$after"; fi ;;
reset-failed)
    [ -e "$dir/$unit.noreset" ] && { echo "Access denied" >&2; exit 1; }
    if [ "$(cat "$state" 2>/dev/null)" = failed ]; then echo inactive > "$state"; fi ;;
esac
exit 0
)sh";

// The messages of the "[[[ message ]]]\r\n" blocks the service functions log.
QStringList serviceMessages(const QByteArray &data)
{
    QStringList messages;
    const QString text = QString::fromLatin1(data);
    static const QRegularExpression block(QStringLiteral("\\G\\[\\[\\[ (.*?) \\]\\]\\]\r\n"));
    qsizetype offset = 0;
    while (offset < text.size()) {
        const QRegularExpressionMatch match = block.match(text, offset);
        if (!match.hasMatch()) {
            messages << QStringLiteral("<malformed: %1>").arg(text.mid(offset));
            break;
        }
        messages << match.captured(1);
        offset = match.capturedEnd();
    }
    return messages;
}

// Expected messages: exact, or a prefix when they end in '*'.
bool messagesMatch(const QStringList &actual, const QStringList &expected)
{
    if (actual.size() != expected.size())
        return false;
    for (int i = 0; i < actual.size(); ++i) {
        const QString &wanted = expected.at(i);
        const bool match = wanted.endsWith(QLatin1Char('*')) ? actual.at(i).startsWith(wanted.chopped(1))
                                                             : actual.at(i) == wanted;
        if (!match)
            return false;
    }
    return true;
}

} // namespace

class TestWinUtils : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void serviceState_data();
    void serviceState();
    void startService_data();
    void startService();
    void startServiceResetRefused();
    void startServiceTimesOut();
    void stopService_data();
    void stopService();
    void withoutSystemctl();
    void createShellLink_data();
    void createShellLink();
    void shellLinkLaunches_data();
    void shellLinkLaunches();
    void networkInterfaceName_data();
    void networkInterfaceName();
    void administrator();
    void adoptInvokingUser_data();
    void adoptInvokingUser();
    void loopbackPortListening();

private:
    void writeScript(const QString &name, const char *script);
    void setUnit(const QString &state, const QString &after = QString(), const QString &onStart = QString(),
        const QString &onStop = QString(), bool broken = false);
    QStringList calls() const;
    QString file(const QString &name) const { return m_bin.filePath(name); }

    QTemporaryDir m_home;
    QTemporaryDir m_bin; // the stand-ins and their records
    QByteArray m_path;
    QByteArray m_savedHome;
};

void TestWinUtils::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_home.isValid());
    QVERIFY(m_bin.isValid());
    m_savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_home.path()));
    writeScript(QStringLiteral("systemctl"), systemctlScript);
    m_path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_bin.path()) + ':' + m_path);
}

void TestWinUtils::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QProcess: Destroyed while")));
    const QStringList records = QDir(m_bin.path()).entryList(QDir::Files);
    for (const QString &name : records) {
        if (name != QLatin1String("systemctl"))
            QVERIFY(QFile::remove(file(name)));
    }
}

void TestWinUtils::cleanupTestCase()
{
    qputenv("PATH", m_path);
    qputenv("HOME", m_savedHome);
}

void TestWinUtils::writeScript(const QString &name, const char *script)
{
    QFile out(file(name));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(QByteArray(script).replace("@DIR@", QFile::encodeName(m_bin.path())));
    out.close();
    QVERIFY(out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
}

void TestWinUtils::setUnit(
    const QString &state, const QString &after, const QString &onStart, const QString &onStop, bool broken)
{
    const auto put = [this](const QString &suffix, const QString &text) {
        if (text.isEmpty())
            return;
        QFile out(file(unit + QStringLiteral(".service") + suffix));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text.toUtf8() + '\n');
    };
    put(QStringLiteral(".state"), state);
    put(QStringLiteral(".after"), after);
    put(QStringLiteral(".onstart"), onStart);
    put(QStringLiteral(".onstop"), onStop);
    put(QStringLiteral(".broken"), broken ? QStringLiteral("yes") : QString());
}

QStringList TestWinUtils::calls() const
{
    QFile in(file(QStringLiteral("calls")));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestWinUtils::serviceState_data()
{
    QTest::addColumn<QString>("activeState");
    QTest::addColumn<bool>("broken");
    QTest::addColumn<WinUtils::ServiceState>("state");
    QTest::addColumn<bool>("started");

    QTest::newRow("active") << QStringLiteral("active") << false << WinUtils::ServiceRunning << true;
    QTest::newRow("activating") << QStringLiteral("activating") << false << WinUtils::ServiceStartPending
                                << true;
    QTest::newRow("reloading") << QStringLiteral("reloading") << false << WinUtils::ServiceStartPending
                               << true;
    QTest::newRow("deactivating") << QStringLiteral("deactivating") << false << WinUtils::ServiceStopPending
                                  << false;
    QTest::newRow("inactive") << QStringLiteral("inactive") << false << WinUtils::ServiceStopped << false;
    QTest::newRow("failed") << QStringLiteral("failed") << false << WinUtils::ServiceStopped << false;
    QTest::newRow("unexpected") << QStringLiteral("maintenance") << false << WinUtils::ServiceUnknown
                                << false;
    QTest::newRow("query fails") << QStringLiteral("active") << true << WinUtils::ServiceUnknown << false;
}

void TestWinUtils::serviceState()
{
    QFETCH(QString, activeState);
    QFETCH(bool, broken);
    QFETCH(WinUtils::ServiceState, state);
    QFETCH(bool, started);

    setUnit(activeState, QString(), QString(), QString(), broken);
    QCOMPARE(WinUtils::serviceState(unit), state);
    QCOMPARE(WinUtils::serviceState(unit + QStringLiteral(".service")), state);
    QCOMPARE(WinUtils::isServiceStarted(unit), started);
}

void TestWinUtils::startService_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("onStart");
    QTest::addColumn<bool>("broken");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("startCalled");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("already running") << QStringLiteral("active") << QString() << QString() << false << true
                                     << false
                                     << QStringList { QStringLiteral(
                                            "WinUtils: Service is already running.") };
    QTest::newRow("starts after polls")
        << QStringLiteral("inactive") << QString() << QStringLiteral("activating 2 active") << false << true
        << true << QStringList { QStringLiteral("WinUtils: Service started successfully*") };
    QTest::newRow("failed unit") << QStringLiteral("failed") << QString() << QString() << false << true
                                 << true
                                 << QStringList { QStringLiteral("WinUtils: Service started successfully*") };
    // A start job that has not run yet leaves the state shown before it: the failure of an
    // earlier run is not this start's.
    QTest::newRow("failed unit, start job pending")
        << QStringLiteral("failed") << QString() << QStringLiteral("same 2 active") << false << true << true
        << QStringList { QStringLiteral("WinUtils: Service started successfully*") };
    // The service refused to run (say, a hostile profile): no waiting for the time-out.
    QTest::newRow("fails while starting")
        << QStringLiteral("inactive") << QString() << QStringLiteral("activating 1 failed") << false << false
        << true << QStringList { QStringLiteral("WinUtils: Service failed while starting.") };
    QTest::newRow("stop pending first") << QStringLiteral("deactivating") << QStringLiteral("2 inactive")
                                        << QStringLiteral("activating 1 active") << false << true << true
                                        << QStringList { QStringLiteral("WinUtils: Service stop pending..."),
                                               QStringLiteral("WinUtils: Service started successfully*") };
    QTest::newRow("start refused") << QStringLiteral("inactive") << QString() << QStringLiteral("fail")
                                   << false << false << true
                                   << QStringList { QStringLiteral(
                                          "WinUtils: Service couldn't be started*") };
    QTest::newRow("query fails") << QStringLiteral("inactive") << QString() << QString() << true << false
                                 << false << QStringList { QStringLiteral("WinUtils: OpenService failed*") };
}

void TestWinUtils::startService()
{
    QFETCH(QString, state);
    QFETCH(QString, after);
    QFETCH(QString, onStart);
    QFETCH(bool, broken);
    QFETCH(bool, result);
    QFETCH(bool, startCalled);
    QFETCH(QStringList, messages);

    setUnit(state, after, onStart, QString(), broken);
    LogManager log(nullptr, nullptr);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(WinUtils::startService(&log, unit), result);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(calls().contains(QStringLiteral("start --no-block NoxelTestService.service")), startCalled);

    QTRY_VERIFY2(messagesMatch(serviceMessages(log.data(LogManager::OpenVpnLevel)), messages),
        qPrintable(serviceMessages(log.data(LogManager::OpenVpnLevel)).join(QLatin1String(" | "))));
}

void TestWinUtils::startServiceResetRefused()
{
    // A failed unit whose failure cannot be reset: "failed" shown before the start job
    // runs is the earlier run's, not a reason to give up.
    setUnit(QStringLiteral("failed"), QString(), QStringLiteral("same 2 active"));
    QFile refusal(file(unit + QStringLiteral(".service.noreset")));
    QVERIFY(refusal.open(QIODevice::WriteOnly));
    refusal.close();
    LogManager log(nullptr, nullptr);
    QVERIFY(WinUtils::startService(&log, unit));
    QVERIFY(calls().contains(QStringLiteral("reset-failed NoxelTestService.service")));
}

void TestWinUtils::startServiceTimesOut()
{
    // The unit never leaves "activating": the wait gives up after 30 seconds.
    setUnit(QStringLiteral("inactive"), QString(), QStringLiteral("activating"));
    LogManager log(nullptr, nullptr);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!WinUtils::startService(&log, unit));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 29000 && elapsed < 45000, qPrintable(QString::number(elapsed)));
    QTRY_COMPARE(serviceMessages(log.data(LogManager::OpenVpnLevel)),
        QStringList { QStringLiteral("WinUtils: Wait timed out (current state: 2)") });
}

void TestWinUtils::stopService_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("onStop");
    QTest::addColumn<bool>("broken");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("stopCalled");
    QTest::addColumn<int>("limitMs");

    QTest::newRow("already stopped") << QStringLiteral("inactive") << QString() << QString() << false << true
                                     << false << 1000;
    QTest::newRow("failed") << QStringLiteral("failed") << QString() << QString() << false << true << false
                            << 1000;
    QTest::newRow("running") << QStringLiteral("active") << QString()
                             << QStringLiteral("deactivating 2 inactive") << false << true << true << 5000;
    QTest::newRow("stop pending") << QStringLiteral("deactivating") << QStringLiteral("2 inactive")
                                  << QString() << false << true << false << 5000;
    QTest::newRow("start pending") << QStringLiteral("activating") << QString() << QString() << false << true
                                   << true << 5000;
    QTest::newRow("stop refused") << QStringLiteral("active") << QString() << QStringLiteral("fail") << false
                                  << false << true << 5000;
    QTest::newRow("query fails") << QStringLiteral("active") << QString() << QString() << true << false
                                 << false << 1000;
}

void TestWinUtils::stopService()
{
    QFETCH(QString, state);
    QFETCH(QString, after);
    QFETCH(QString, onStop);
    QFETCH(bool, broken);
    QFETCH(bool, result);
    QFETCH(bool, stopCalled);
    QFETCH(int, limitMs);

    setUnit(state, after, QString(), onStop, broken);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(WinUtils::stopService(unit), result);
    QVERIFY2(clock.elapsed() < limitMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(calls().contains(QStringLiteral("stop --no-block NoxelTestService.service")), stopCalled);
    QVERIFY(!calls().contains(QStringLiteral("start --no-block NoxelTestService.service")));
}

void TestWinUtils::withoutSystemctl()
{
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(empty.path()));
    LogManager log(nullptr, nullptr);
    const bool started = WinUtils::startService(&log, unit);
    const WinUtils::ServiceState state = WinUtils::serviceState(unit);
    const bool stopped = WinUtils::stopService(unit);
    qputenv("PATH", path);

    QVERIFY(!started);
    QCOMPARE(state, WinUtils::ServiceUnknown);
    QVERIFY(!stopped);
    QTRY_VERIFY2(messagesMatch(serviceMessages(log.data(LogManager::OpenVpnLevel)),
                     { QStringLiteral("WinUtils: OpenSCManager failed*") }),
        log.data(LogManager::OpenVpnLevel).constData());
}

void TestWinUtils::createShellLink_data()
{
    QTest::addColumn<QString>("folder"); // inside the temporary folder
    QTest::addColumn<QString>("quoted"); // the folder as the Exec value must write it
    QTest::addColumn<QString>("description");

    // A launcher first undoes the string escapes ("\\" for '\'), then the quoting
    // ('\' before " ` $ \), then "%%"; so a '$' takes two backslashes and a '\' four.
    QTest::newRow("plain") << QStringLiteral("opt/noxel/bin") << QStringLiteral("opt/noxel/bin")
                           << QStringLiteral("Noxel VPN");
    QTest::newRow("space, dollar, percent")
        << QStringLiteral("my apps/co$t 100%/bin") << QStringLiteral("my apps/co\\\\$t 100%%/bin")
        << QStringLiteral("Noxel VPN");
    QTest::newRow("quote, backtick, backslash")
        << QStringLiteral("a\"b`c\\d/bin") << QStringLiteral("a\\\\\"b\\\\`c\\\\\\\\d/bin")
        << QStringLiteral("Noxel VPN");
    QTest::newRow("field code lookalike")
        << QStringLiteral("%f %u/bin") << QStringLiteral("%%f %%u/bin") << QStringLiteral("Noxel VPN");
    QTest::newRow("two-line description")
        << QStringLiteral("bin") << QStringLiteral("bin") << QStringLiteral("Starts Noxel\nat login");
}

void TestWinUtils::createShellLink()
{
    QFETCH(QString, folder);
    QFETCH(QString, quoted);
    QFETCH(QString, description);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(folder + QStringLiteral("/noxel"));
    const QString link = dir.filePath(QStringLiteral("config/autostart/noxel.desktop"));
    QVERIFY(WinUtils::createShellLink(target, link, description));

    QFile entry(link);
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("[Desktop Entry]"));
    QVERIFY(lines.contains(QStringLiteral("Type=Application")));
    QStringList exec;
    for (const QString &line : lines.mid(1)) {
        QVERIFY2(line.contains(QLatin1Char('=')), qPrintable(line));
        if (line.startsWith(QLatin1String("Exec=")))
            exec << line;
    }
    QCOMPARE(exec, QStringList { QStringLiteral("Exec=\"%1/%2/noxel\" -l").arg(dir.path(), quoted) });
}

void TestWinUtils::shellLinkLaunches_data()
{
    QTest::addColumn<QString>("folder");
    // GLib looks the program up before it expands "%%", so no '%' here.
    QTest::newRow("space and dollar") << QStringLiteral("my apps/co$t 100/bin");
    QTest::newRow("quote, backtick, backslash") << QStringLiteral("a\"b`c\\d/bin");
    QTest::newRow("backslash before quote") << QStringLiteral("e\\\"f/bin");
}

void TestWinUtils::shellLinkLaunches()
{
    // GLib's launcher, as desktops use it for autostart entries, runs the entry.
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        QSKIP("gio is not installed");
    QFETCH(QString, folder);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(folder + QStringLiteral("/noxel"));
    const QString record = dir.filePath(QStringLiteral("launched"));
    QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
    {
        QFile program(target);
        QVERIFY(program.open(QIODevice::WriteOnly));
        const QByteArray path = QFile::encodeName(record);
        program.write("#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" + path + ".part'\nmv '" + path
            + ".part' '" + path + "'\n");
        program.close();
        QVERIFY(
            program.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    }
    const QString link = dir.filePath(QStringLiteral("noxel.desktop"));
    QVERIFY(WinUtils::createShellLink(target, link, QStringLiteral("Noxel VPN")));

    QProcess launcher;
    launcher.start(gio, { QStringLiteral("launch"), link });
    QVERIFY(launcher.waitForFinished(10000));
    QVERIFY2(launcher.exitCode() == 0, launcher.readAllStandardError().constData());
    QTRY_VERIFY(QFile::exists(record));
    QFile in(record);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(in.readAll()), target + QStringLiteral("\n-l\n"));
}

void TestWinUtils::networkInterfaceName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("known");
    QTest::newRow("loopback") << QStringLiteral("lo") << true;
    QTest::newRow("unknown") << QStringLiteral("noxel-none0") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestWinUtils::networkInterfaceName()
{
    QFETCH(QString, name);
    QFETCH(bool, known);
    QCOMPARE(!WinUtils::GetNetworkInterfaceName(name).isEmpty(), known);
}

void TestWinUtils::administrator()
{
    QCOMPARE(WinUtils::isRunningAsAdministrator(), geteuid() == 0);
}

// Only a listening socket on 127.0.0.1 counts: not one on another address, not a
// connection, not one closed.
void TestWinUtils::loopbackPortListening()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    QVERIFY(WinUtils::isLoopbackPortListening(port));

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(client.waitForConnected(10000));
    QVERIFY(server.waitForNewConnection(10000));
    std::unique_ptr<QTcpSocket> accepted(server.nextPendingConnection());
    server.close();
    // The connection's two ends share the port but do not listen.
    QVERIFY(!WinUtils::isLoopbackPortListening(port));
    QVERIFY(!WinUtils::isLoopbackPortListening(client.localPort()));

    QTcpServer anyAddress;
    QVERIFY(anyAddress.listen(QHostAddress::AnyIPv6));
    QVERIFY(!WinUtils::isLoopbackPortListening(anyAddress.serverPort()));
}

void TestWinUtils::adoptInvokingUser_data()
{
    QTest::addColumn<QByteArray>("pkexecUid");
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<bool>("adopted");
    const QByteArray rootHome = getpwuid(0)->pw_dir;
    QTest::newRow("pkexec's root home") << QByteArray("65534") << rootHome << true;
    QTest::newRow("home handed over") << QByteArray("65534") << QByteArray("/home/someone") << false;
    QTest::newRow("not from pkexec") << QByteArray() << rootHome << false;
    QTest::newRow("root asked") << QByteArray("0") << rootHome << false;
    QTest::newRow("no number") << QByteArray("65534x") << rootHome << false;
}

// A copy started by pkexec keeps the settings of the user who asked, not root's.
void TestWinUtils::adoptInvokingUser()
{
    QFETCH(QByteArray, pkexecUid);
    QFETCH(QByteArray, home);
    QFETCH(bool, adopted);
    if (geteuid() != 0)
        QSKIP("only a copy running as root takes the folders of the user who asked");
    const auto setUid = [](const QByteArray &uid) {
        if (uid.isEmpty())
            qunsetenv("PKEXEC_UID");
        else
            qputenv("PKEXEC_UID", uid);
    };
    const QByteArray ownHome = qgetenv("HOME");
    const QByteArray ownUid = qgetenv("PKEXEC_UID");
    qputenv("HOME", home);
    setUid(pkexecUid);
    WinUtils::adoptInvokingUser();
    const QByteArray result = qgetenv("HOME");
    qputenv("HOME", ownHome);
    setUid(ownUid);
    QCOMPARE(result, adopted ? QByteArray(getpwuid(65534)->pw_dir) : home);
}

QTEST_GUILESS_MAIN(TestWinUtils)
#include "tst_winutils.moc"
