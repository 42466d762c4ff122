#include "logmanager.h"
#include "platformmanager.h"
#include "testhome.h"
#include "winutils.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <cstdio>

#include <unistd.h>

namespace {

// Run as `tst_platformmanager --print-hardware-addresses` inside a network namespace.
const char PrintHardwareAddresses[] = "--print-hardware-addresses";

} // namespace

class TestPlatformManager : public QObject
{
    Q_OBJECT

public:
    explicit TestPlatformManager(const TestHome &home)
        : home(home)
    {
    }

private slots:
    void initTestCase();
    void cleanup();

    void powerEvents_data();
    void powerEvents();
    void autoStartShortcut();
    void initializePlatform_data();
    void initializePlatform();
    void openUrl_data();
    void openUrl();
    void hardwareAddresses();
    void systemDescription();

private:
    // A folder at the front of PATH, for stand-ins of the programs the platform layer starts.
    QString standInDir() const { return home.path() + QStringLiteral("/bin"); }
    void writeStandIn(const QString &name, const QByteArray &script) const;

    const TestHome &home;
    QByteArray originalPath;
};

void TestPlatformManager::initTestCase()
{
    originalPath = qgetenv("PATH");
    QVERIFY(QDir().mkpath(standInDir()));
    qputenv("PATH", QFile::encodeName(standInDir()) + ':' + originalPath);
}

void TestPlatformManager::cleanup()
{
    qunsetenv("NOXEL_SYSTEM_CONFIG_DIR");
    QFile::remove(home.autoStartFileName());
}

void TestPlatformManager::writeStandIn(const QString &name, const QByteArray &script) const
{
    QFile file(standInDir() + QLatin1Char('/') + name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("#!/bin/sh\n" + script);
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void TestPlatformManager::powerEvents_data()
{
    QTest::addColumn<QList<int>>("events");
    QTest::addColumn<QList<bool>>("expected");

    const int suspend = PlatformManager::PowerSuspend;
    const int resumeSuspend = PlatformManager::PowerResumeSuspend;
    const int resume = PlatformManager::PowerResumeAutomatic;
    QTest::newRow("suspend twice, resume")
        << QList<int> { suspend, suspend, resume } << QList<bool> { true, false };
    QTest::newRow("resume without suspend") << QList<int> { resume } << QList<bool> {};
    QTest::newRow("user resume alone") << QList<int> { resumeSuspend } << QList<bool> {};
    // The automatic resume always follows the user's; only it ends the suspension.
    QTest::newRow("suspend, user resume") << QList<int> { suspend, resumeSuspend } << QList<bool> { true };
    QTest::newRow("suspend, both resumes")
        << QList<int> { suspend, resumeSuspend, resume } << QList<bool> { true, false };
    QTest::newRow("resume twice") << QList<int> { suspend, resume, resume } << QList<bool> { true, false };
    QTest::newRow("two nights") << QList<int> { suspend, resume, suspend, resume }
                                << QList<bool> { true, false, true, false };
    QTest::newRow("other events") << QList<int> { 0, 10, suspend, 6 } << QList<bool> { true };
}

void TestPlatformManager::powerEvents()
{
    QFETCH(QList<int>, events);
    QFETCH(QList<bool>, expected);

    PlatformManager manager;
    QSignalSpy spy(&manager, &PlatformManager::powerSuspend);
    for (const int event : events)
        manager.handlePowerEvent(event);

    QList<bool> emitted;
    for (const QList<QVariant> &arguments : std::as_const(spy))
        emitted << arguments.at(0).toBool();
    QCOMPARE(emitted, expected);
    QCOMPARE(manager.isSuspended(), !expected.isEmpty() && expected.last());
}

void TestPlatformManager::autoStartShortcut()
{
    const QString path = home.autoStartFileName();
    QCOMPARE(WinUtils::autoStartShortcutPath(), path);
    QVERIFY(!WinUtils::isAutoStartShortcutPresent());

    // Removing an entry that is not there is no failure.
    QVERIFY(WinUtils::setAutoStartShortcut(false));
    QVERIFY(!QFileInfo::exists(path));

    QVERIFY(WinUtils::setAutoStartShortcut(true));
    QVERIFY(WinUtils::isAutoStartShortcutPresent());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    file.close();
    QCOMPARE(lines.value(0), QStringLiteral("[Desktop Entry]"));
    QVERIFY(lines.contains(QStringLiteral("Type=Application")));
    const QString exec
        = QStringLiteral("Exec=\"") + QCoreApplication::applicationFilePath() + QStringLiteral("\" -l");
    QVERIFY2(lines.contains(exec), qPrintable(lines.join(QLatin1Char('|'))));

    // Writing it again replaces it.
    QVERIFY(WinUtils::setAutoStartShortcut(true));
    QVERIFY(WinUtils::isAutoStartShortcutPresent());

    QVERIFY(WinUtils::setAutoStartShortcut(false));
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(!WinUtils::isAutoStartShortcutPresent());
}

void TestPlatformManager::initializePlatform_data()
{
    QTest::addColumn<QString>("obstacle"); // what stands in the way of the settings file
    QTest::newRow("writable") << QString();
    QTest::newRow("folder under a file") << QStringLiteral("file");
    QTest::newRow("file name taken by a folder") << QStringLiteral("folder");
}

void TestPlatformManager::initializePlatform()
{
    QFETCH(QString, obstacle);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString systemDir = dir.path() + QStringLiteral("/xdg");
    const QString fileName = systemDir + QStringLiteral("/Noxel/Noxel OpenVPN.ini");
    if (obstacle == QLatin1String("file")) {
        QFile file(dir.path() + QStringLiteral("/plain"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        systemDir = file.fileName() + QStringLiteral("/xdg");
    } else if (obstacle == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(fileName));
    }
    qputenv("NOXEL_SYSTEM_CONFIG_DIR", QFile::encodeName(systemDir));
    writeStandIn(QStringLiteral("openvpn"), "exit 0\n");
    QCOMPARE(
        PlatformManager::serviceSettingsFileName(), systemDir + QStringLiteral("/Noxel/Noxel OpenVPN.ini"));
    LogManager log(nullptr, nullptr);

    // Start-up goes on whether or not the service's settings could be written.
    QVERIFY(PlatformManager::initializePlatform(&log));

    if (!obstacle.isEmpty()) {
        QTRY_VERIFY(log.data(LogManager::GenericLevel).contains("could not be written"));
        QVERIFY(!QFileInfo(PlatformManager::serviceSettingsFileName()).isFile());
        return;
    }
    const QDir data(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    const QMap<QString, QString> expected {
        { QStringLiteral("config_dir"), data.absoluteFilePath(QStringLiteral("config")) },
        { QStringLiteral("config_ext"), QStringLiteral("ovpn") },
        { QStringLiteral("exe_path"), standInDir() + QStringLiteral("/openvpn") },
        { QStringLiteral("log_append"), QStringLiteral("0") },
        { QStringLiteral("log_dir"), data.absoluteFilePath(QStringLiteral("log")) },
        { QStringLiteral("priority"), QStringLiteral("NORMAL_PRIORITY_CLASS") },
    };
    QCOMPARE(TestHome::readIniSection(fileName), expected);
    QCoreApplication::processEvents();
    QCOMPARE(log.data(LogManager::GenericLevel), QByteArray());
}

void TestPlatformManager::openUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("opened"); // what xdg-open receives; empty: refused

    QTest::newRow("https") << QStringLiteral("https://example.com/account?id=1")
                           << QStringLiteral("https://example.com/account?id=1");
    QTest::newRow("http") << QStringLiteral("http://example.com/") << QStringLiteral("http://example.com/");
    QTest::newRow("mailto") << QStringLiteral("mailto:support@example.com")
                            << QStringLiteral("mailto:support@example.com");
    QTest::newRow("upper-case scheme")
        << QStringLiteral("HTTPS://example.com/Help") << QStringLiteral("https://example.com/Help");
    QTest::newRow("file") << QStringLiteral("file:///bin/sh") << QString();
    QTest::newRow("bare command") << QStringLiteral("xterm") << QString();
    QTest::newRow("program path") << QStringLiteral("/usr/bin/xterm") << QString();
    QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << QString();
    QTest::newRow("ftp") << QStringLiteral("ftp://example.com/file") << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestPlatformManager::openUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, opened);

    // A stand-in xdg-open that notes what it was asked to open.
    const QString note = home.path() + QStringLiteral("/opened");
    QFile::remove(note);
    writeStandIn(QStringLiteral("xdg-open"), "printf '%s\\n' \"$@\" > '" + QFile::encodeName(note) + "'\n");

    QCOMPARE(PlatformManager::openUrl(QUrl(url)), !opened.isEmpty());

    if (opened.isEmpty()) {
        QTest::qWait(200);
        QVERIFY(!QFileInfo::exists(note));
        return;
    }
    const auto read = [&note] {
        QFile file(note);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    QTRY_COMPARE(read(), opened + QLatin1Char('\n'));
}

void TestPlatformManager::hardwareAddresses()
{
    if (::geteuid() != 0)
        QSKIP("Creating a network namespace needs root.");
    const QString ip = QStandardPaths::findExecutable(QStringLiteral("ip"),
        { QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin") });
    if (ip.isEmpty())
        QSKIP("The ip tool (iproute2) is not installed.");

    const QString ns = QStringLiteral("noxel-test-%1").arg(QCoreApplication::applicationPid());
    const QString peerNs = ns + QStringLiteral("-peer");
    const auto run = [&ip](const QStringList &arguments) {
        QProcess process;
        process.start(ip, arguments);
        return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    };
    const auto removeNamespaces = [&] {
        for (const QString &name : { ns, peerNs }) {
            if (QFileInfo::exists(QStringLiteral("/run/netns/") + name))
                run({ QStringLiteral("netns"), QStringLiteral("delete"), name });
        }
    };
    removeNamespaces();
    const auto guard = qScopeGuard(removeNamespaces);

    if (!run({ QStringLiteral("netns"), QStringLiteral("add"), ns }))
        QSKIP("This machine does not allow network namespaces.");
    const QString mac = QStringLiteral("02:4e:58:a1:b2:c3");
    // A dummy device where the kernel has one; otherwise one end of a veth pair, the
    // other end in a second namespace so that only one device shows.
    if (!run({ QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("add"), QStringLiteral("nx0"),
            QStringLiteral("address"), mac, QStringLiteral("type"), QStringLiteral("dummy") })) {
        QVERIFY(run({ QStringLiteral("netns"), QStringLiteral("add"), peerNs }));
        QVERIFY(run({ QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("add"),
            QStringLiteral("nx0"), QStringLiteral("address"), mac, QStringLiteral("type"),
            QStringLiteral("veth"), QStringLiteral("peer"), QStringLiteral("name"), QStringLiteral("nx1"),
            QStringLiteral("netns"), peerNs }));
    }

    QProcess helper;
    helper.start(ip,
        { QStringLiteral("netns"), QStringLiteral("exec"), ns, QCoreApplication::applicationFilePath(),
            QString::fromLatin1(PrintHardwareAddresses) });
    QVERIFY2(helper.waitForFinished(30000), qPrintable(helper.errorString()));
    QVERIFY2(helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0,
        helper.readAllStandardError().constData());
    const QStringList addresses
        = QString::fromLatin1(helper.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // Loopback is no adapter.
    QCOMPARE(addresses, QStringList { QStringLiteral("024e58a1b2c3") });
}

void TestPlatformManager::systemDescription()
{
    const QString os = PlatformManager::osName();
    QVERIFY(!os.trimmed().isEmpty());
#if defined(__x86_64__)
    QVERIFY2(os.endsWith(QLatin1String(" x64")), qPrintable(os));
    QVERIFY(!os.endsWith(QLatin1String(" x64 x64")));
#else
    QVERIFY2(!os.endsWith(QLatin1String(" x64")), qPrintable(os));
#endif

    const PlatformManager::ProcessorInfo processor = PlatformManager::processorInfo();
    QVERIFY(processor.valid);
    // Virtual machines and other architectures name their processors in their own
    // ways: whatever the name, it is one clean line that fits in a request header.
    QVERIFY(!processor.name.isEmpty());
    QCOMPARE(processor.name, processor.name.simplified());
    for (const QChar c : processor.name)
        QVERIFY2(c.isPrint(), qPrintable(processor.name));

    QCOMPARE(PlatformManager::systemInfo(),
        QStringLiteral("OS: ") + os + QStringLiteral("\r\nCPU: ") + processor.name);
}

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], PrintHardwareAddresses) == 0) {
        QCoreApplication app(argc, argv);
        const QStringList addresses = WinUtils::hardwareAddresses();
        for (const QString &address : addresses)
            std::printf("%s\n", qPrintable(address));
        return 0;
    }

    TestHome home;
    if (!home.isValid()) {
        qCritical("cannot set up a temporary home");
        return 1;
    }
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    TestPlatformManager test(home);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platformmanager.moc"
