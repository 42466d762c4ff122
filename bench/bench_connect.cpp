// Times an OpenVPN connection over UDP, TCP and Stealth through the whole client, from
// VpnClient::connectToServer() to Connected, against a bare OpenVPN client started with
// the same configuration and credentials file reaching "Initialization Sequence
// Completed" (for Stealth, from starting a bare stunnel with the test network's client
// configuration). Both run on the test network of scripts/testnet in the same run,
// taking turns; each figure is the median of 5 after one run to warm up.
//
// Started outside the test network, the program runs itself inside one through
// tests/e2e/run-in-testnet.sh; where no network can be built (not root, no
// /dev/net/tun) it says so and exits 0.

#include "testnet.h"

#include "context.h"
#include "core.h"
#include "logmanager.h"
#include "vpnclient.h"
#include "vpnconfiguration.h"
#include "vpnconnection.h"
#include "winutils.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Runs = 5;
constexpr int StepTimeout = 30000;
constexpr int SkipStatus = 77;

bool hasTunInterface()
{
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    return std::any_of(all.cbegin(), all.cend(),
        [](const QNetworkInterface &interface) { return interface.name().startsWith(QLatin1String("tun")); });
}

// Waits until the previous tunnel's device is gone, so that each run starts alike.
bool waitForNoTun()
{
    QElapsedTimer timer;
    timer.start();
    while (hasTunInterface()) {
        if (timer.elapsed() > 10000)
            return false;
        QThread::msleep(10);
    }
    return true;
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
}

// One way of connecting, and what the bare baseline runs for it.
struct Road
{
    Vpn::Protocol protocol;
    const char *name;
    QString openVpnConf;
    // Stealth: the bare stunnel client's configuration and local port.
    QString stunnelConf;
    quint16 stunnelPort = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds from starting a bare OpenVPN (after its stunnel, for Stealth) to its
// "Initialization Sequence Completed"; negative on failure.
double timeBareOpenVpn(const TestNet &net, const QString &program, const QString &stunnelProgram, const Road &road)
{
    QProcess stunnel;
    QProcess openvpn;
    openvpn.setProcessChannelMode(QProcess::MergedChannels);
    QEventLoop loop;
    QElapsedTimer timer;
    double reached = -1;
    QByteArray output;
    timer.start();
    if (road.stunnelPort) {
        stunnel.setProcessChannelMode(QProcess::MergedChannels);
        stunnel.start(stunnelProgram, { road.stunnelConf });
        while (!WinUtils::isLoopbackPortListening(road.stunnelPort) && stunnel.state() != QProcess::NotRunning && timer.elapsed() < StepTimeout)
            QThread::msleep(1);
        if (!WinUtils::isLoopbackPortListening(road.stunnelPort)) {
            std::fprintf(stderr, "bare stunnel did not listen:\n%s\n", stunnel.readAll().right(3000).constData());
            stop(stunnel);
            return -1;
        }
    }
    QObject::connect(&openvpn, &QProcess::readyRead, &loop, [&] {
        output += openvpn.readAll();
        if (reached < 0 && output.contains("Initialization Sequence Completed")) {
            reached = double(timer.nsecsElapsed()) / 1e6;
            loop.quit();
        }
    });
    QObject::connect(&openvpn, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(StepTimeout, &loop, &QEventLoop::quit);
    openvpn.start(program,
        { QStringLiteral("--config"), road.openVpnConf, QStringLiteral("--auth-user-pass"), net.clientAuthFile });
    loop.exec();
    stop(openvpn);
    stop(stunnel);
    if (reached < 0)
        std::fprintf(stderr, "bare OpenVPN did not connect:\n%s\n", output.right(3000).constData());
    return waitForNoTun() ? reached : -1;
}

// Runs the event loop until the client reaches the state or the time is up.
bool waitForState(VpnClient *client, VpnConnection::State state)
{
    if (client->state() == state)
        return true;
    QEventLoop loop;
    QObject::connect(
        client, &VpnClient::vpnConnectionStateChanged, &loop, [&loop, state](VpnConnection::State now) {
            if (now == state)
                loop.quit();
        });
    QTimer::singleShot(StepTimeout, &loop, &QEventLoop::quit);
    loop.exec();
    return client->state() == state;
}

// Milliseconds from connectToServer() to Connected; negative on failure.
double timeClient(Core *core, const VpnServer &server, const VpnConfiguration &configuration)
{
    VpnClient *client = core->vpnClient();
    QEventLoop loop;
    QElapsedTimer timer;
    double reached = -1;
    QObject::connect(client, &VpnClient::vpnConnectionStateChanged, &loop, [&](VpnConnection::State state) {
        if (state == VpnConnection::Connected) {
            reached = double(timer.nsecsElapsed()) / 1e6;
            loop.quit();
        } else if (state == VpnConnection::Disconnected) {
            loop.quit();
        }
    });
    QTimer::singleShot(StepTimeout, &loop, &QEventLoop::quit);
    timer.start();
    if (!client->connectToServer(server, configuration))
        return -1;
    loop.exec();
    client->disconnect();
    if (!waitForState(client, VpnConnection::Disconnected)) {
        std::fprintf(stderr, "the client did not disconnect\n");
        return -1;
    }
    return waitForNoTun() ? reached : -1;
}

// Outside the test network: the same program inside one.
int runInTestNet(const QString &self)
{
    QProcess wrapper;
    wrapper.setProcessChannelMode(QProcess::ForwardedChannels);
    wrapper.start(QStringLiteral("bash"), { QString::fromUtf8(NOXEL_RUN_IN_TESTNET), self });
    if (!wrapper.waitForStarted() || !wrapper.waitForFinished(-1))
        return 1;
    if (wrapper.exitStatus() != QProcess::NormalExit)
        return 1;
    if (wrapper.exitCode() == SkipStatus) {
        std::printf("bench_connect: skipped, the OpenVPN test network cannot be built here\n");
        return 0;
    }
    return wrapper.exitCode();
}

} // namespace

int main(int argc, char *argv[])
{
    // A throw-away home, set before Qt reads any folder.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/cache")));
    const QString runtime = home.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("NOXEL_SYSTEM_CONFIG_DIR", QFile::encodeName(home.path() + QStringLiteral("/system-config")));
    // No API is needed: any request goes to a closed port.
    qputenv("NOXEL_API_ADDRESSES", "tcp://127.0.0.1:9");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));

    const TestNet net = TestNet::fromEnvironment();
    if (net.id.isEmpty())
        return runInTestNet(QCoreApplication::applicationFilePath());
    if (!net.isValid() || !QFileInfo::exists(net.clientAuthFile)) {
        std::fprintf(stderr, "bench_connect: the test network is not fully described in the environment\n");
        return 1;
    }
    const QStringList sbin { QStringLiteral("/usr/sbin"), QStringLiteral("/sbin") };
    const QString openvpn = QStandardPaths::findExecutable(QStringLiteral("openvpn"), sbin);
    const QString stunnel = QStandardPaths::findExecutable(QStringLiteral("stunnel4"));
    if (openvpn.isEmpty() || stunnel.isEmpty()) {
        std::fprintf(stderr, "bench_connect: openvpn or stunnel4 is not installed\n");
        return 1;
    }

    Core core;
    if (!core.initialize())
        return 1;
    core.context()->setUserStatus(userStatus(net));
    VpnConfiguration configuration;
    configuration.setUsername(net.user);
    configuration.setPassword(net.password);
    const VpnServer server = net.server();

    // NOXEL_BENCH_TRACE=1 prints the driver's exchange with OpenVPN, timed.
    QElapsedTimer trace;
    trace.start();
    if (qEnvironmentVariableIsSet("NOXEL_BENCH_TRACE")) {
        QObject::connect(core.logManager(), &LogManager::openVpnData, &app, [&trace](const QByteArray &data) {
            std::fprintf(stderr, "%8.1f %s", double(trace.nsecsElapsed()) / 1e6, data.constData());
        });
    }

    const QList<Road> roads { { Vpn::OpenVpnUdp, "UDP", net.udpConf, QString(), 0 },
        { Vpn::OpenVpnTcp, "TCP", net.tcpConf, QString(), 0 },
        { Vpn::OpenVpnStealth, "Stealth", net.stealthConf, qEnvironmentVariable("CLIENT_STUNNEL_CONF"),
            quint16(qEnvironmentVariableIntValue("STEALTH_LOCAL_PORT")) } };
    for (const Road &road : roads) {
        configuration.setProtocol(road.protocol);
        std::vector<double> bare;
        std::vector<double> client;
        // One run of each to warm up, then turns.
        for (int run = 0; run <= Runs; ++run) {
            const double bareMsecs = timeBareOpenVpn(net, openvpn, stunnel, road);
            const double clientMsecs = timeClient(&core, server, configuration);
            if (bareMsecs < 0 || clientMsecs < 0) {
                std::fprintf(stderr, "bench_connect: %s run %d failed (bare %.1f ms, client %.1f ms)\n", road.name,
                    run, bareMsecs, clientMsecs);
                return 1;
            }
            if (run == 0)
                continue;
            bare.push_back(bareMsecs);
            client.push_back(clientMsecs);
            std::printf("  %s run %d: client %.1f ms, bare %.1f ms\n", road.name, run, clientMsecs, bareMsecs);
        }
        const double clientMedian = median(client);
        const double bareMedian = median(bare);
        std::printf("connect over %s: %.1f ms, baseline %.1f ms, ratio %.2f, difference %+.1f ms\n", road.name,
            clientMedian, bareMedian, clientMedian / bareMedian, clientMedian - bareMedian);
    }
    std::fflush(stdout);
    return 0;
}
