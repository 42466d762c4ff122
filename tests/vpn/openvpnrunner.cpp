// openvpn_runner: the OpenVPN driver in a process of its own, for tests that kill it
// as a crash would. It uses the folders, stand-ins and settings of the test that
// starts it (through the environment), and the resources of VpnTest.
//
// Commands on standard input, one a line: "open tcp|udp|stealth", "disconnect",
// "recover" (ends what an earlier run left), "quit".
// Reports on standard output, one a line: "ready", "opened true|false",
// "state NAME", "error MESSAGE", "free", "recovered". With NOXEL_DEBUG set, the
// driver's log goes to standard error.

#include "core.h"
#include "logmanager.h"
#include "openvpn.h"
#include "vpntest.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cstdio>
#include <unistd.h>

namespace {

void report(const QString &line)
{
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));

    Core core;
    VpnTest::setResources(&core, VpnTest::standardResources());
    auto *vpn = new OpenVpn(core.logManager(), core.context(), &core);
    QObject::connect(vpn, &OpenVpn::stateChanged, vpn,
        [](VpnConnection::State state) { report(QStringLiteral("state ") + VpnTest::stateName(state)); });
    QObject::connect(vpn, &OpenVpn::connectionError, vpn,
        [](const VpnServer &, const VpnConfiguration &, const QString &message) {
            report(QStringLiteral("error ") + message);
        });
    QObject::connect(vpn, &OpenVpn::processFinished, vpn, [] { report(QStringLiteral("free")); });

    if (qEnvironmentVariableIsSet("NOXEL_DEBUG")) {
        QObject::connect(core.logManager(), &LogManager::openVpnData, vpn, [](const QByteArray &data) {
            std::fprintf(stderr, "[%d] %s", int(::getpid()), data.constData());
        });
    }
    const QHash<QString, Vpn::Protocol> protocols { { QStringLiteral("tcp"), Vpn::OpenVpnTcp },
        { QStringLiteral("udp"), Vpn::OpenVpnUdp }, { QStringLiteral("stealth"), Vpn::OpenVpnStealth } };
    const auto run = [&](const QString &command) {
        if (command.startsWith(QLatin1String("open "))) {
            const Vpn::Protocol protocol = protocols.value(command.mid(5), Vpn::OpenVpnTcp);
            const bool opened = vpn->open(VpnTest::server(), VpnTest::configuration(protocol));
            report(QStringLiteral("opened ") + (opened ? QStringLiteral("true") : QStringLiteral("false")));
        } else if (command == QLatin1String("disconnect")) {
            vpn->disconnect();
        } else if (command == QLatin1String("recover")) {
            vpn->endLeftoverTunnel();
            report(QStringLiteral("recovered"));
        } else if (command == QLatin1String("quit")) {
            QCoreApplication::quit();
        }
    };

    QByteArray buffer;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char chunk[256];
        const ssize_t size = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (size <= 0) {
            // The test has gone.
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        buffer.append(chunk, size);
        qsizetype end;
        while ((end = buffer.indexOf('\n')) >= 0) {
            const QString command = QString::fromUtf8(buffer.left(end)).trimmed();
            buffer.remove(0, end + 1);
            run(command);
        }
    });
    report(QStringLiteral("ready"));
    return app.exec();
}
