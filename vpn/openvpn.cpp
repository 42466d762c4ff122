#include "openvpn.h"

#include "connectionfeedback.h"
#include "constants.h"
#include "context.h"
#include "logmanager.h"
#include "processutils.h"
#include "servicehandler.h"
#include "tunnelrecord.h"
#include "vpnresource.h"
#include "winutils.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>

namespace {

const QString ManagementAddress = QStringLiteral("127.0.0.1");
// In the configuration directory.
const QString ConfigFileName = QStringLiteral("/config.ovpn");
const QString PasswordFileName = QStringLiteral("/management.pw");
const QString StunnelConfigFileName = QStringLiteral("/stunnel.conf");
constexpr int ByteCountInterval = 1;
constexpr int ManagementRetries = 10;
// OpenVPN opens its management port a few milliseconds after it starts: tried this
// often at first, before the retries that wait a second longer each time.
constexpr int FastManagementRetries = 100;
constexpr int FastRetryMs = 10;
// stunnel is waited for until it listens, or this long at most.
constexpr int StunnelWaitMs = 500;
constexpr int StunnelPollMs = 2;
// Resets in a row that end the tunnel.
constexpr int MaximumResets = 4;
constexpr int TunWaitsBeforeRepair = 3;
// How long a program left by an earlier run has to end before it is killed: OpenVPN
// tells the server it leaves, which may take a few seconds.
constexpr int LeftoverStopMs = 10000;
constexpr int LeftoverKillMs = 2000;
// Each step of the management dialogue with a left OpenVPN.
constexpr int LeftoverManagementMs = 3000;
constexpr int DnsRestoreMs = 5000;

// The script that applies the DNS servers the VPN server pushes, run by OpenVPN as
// root: beside the program in the build tree, in libexec where installed, or where
// NOXEL_DNS_SCRIPT says (tests); only ever one that root alone can change, and one
// whose path OpenVPN does not split. Empty when there is none.
QString dnsScript()
{
    const QString here = QCoreApplication::applicationDirPath();
    QStringList candidates{here + QStringLiteral("/service/noxel-dns"),
                           here + QStringLiteral("/../libexec/noxel/noxel-dns")};
    const QString chosen = qEnvironmentVariable("NOXEL_DNS_SCRIPT");
    if (!chosen.isEmpty())
        candidates = QStringList{chosen};
    for (const QString &candidate : std::as_const(candidates)) {
        const QString path = QFileInfo(candidate).canonicalFilePath();
        static const QRegularExpression unsplit(QStringLiteral("^[^\\s\"'\\\\]+$"));
        if (!path.isEmpty() && unsplit.match(path).hasMatch() && WinUtils::onlyRootCanChange(path))
            return path;
    }
    return QString();
}

// What the service side does; numbered as the driver tracks it.
enum ServiceState {
    ServiceIdle = 0,
    ServiceStopping = 1,
    ServiceStartRequested = 2,
    ServiceStarted = 3,
    ServiceRunning = 4,
};

QString quoted(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// Asks the OpenVPN behind the management port to stop, as the driver does when it
// disconnects; false when it cannot be reached or does not take the password.
bool askToStop(quint16 port, const QByteArray &password)
{
    QTcpSocket socket;
    socket.connectToHost(ManagementAddress, port);
    if (!socket.waitForConnected(LeftoverManagementMs))
        return false;
    QByteArray received;
    const auto waitFor = [&socket, &received](const QByteArray &text) {
        while (!received.contains(text)) {
            if (received.contains("ERROR") || !socket.waitForReadyRead(LeftoverManagementMs))
                return false;
            received += socket.readAll();
        }
        return true;
    };
    if (!waitFor("ENTER PASSWORD:"))
        return false;
    received.clear();
    socket.write(password + "\r\n");
    if (!waitFor("SUCCESS: password is correct"))
        return false;
    received.clear();
    socket.write("signal SIGTERM\r\n");
    return waitFor("SUCCESS: signal SIGTERM thrown");
}

} // namespace

class OpenVpnPrivate : public QObject
{
    Q_OBJECT

public:
    OpenVpnPrivate(LogManager *logManager, Context *context, OpenVpn *q);
    ~OpenVpnPrivate() override;

    OpenVpn *q;
    LogManager *logManager;
    Context *context;
    ConnectionFeedback *feedback = nullptr;
    VpnServer server;
    VpnConfiguration configuration;
    bool elevated = false;
    bool tapReady = false;
    // The user is setting up the tun device.
    bool tapInstalling = false;
    VpnConnection::State state = VpnConnection::Disconnected;
    QString lastStateName;
    QString executable;
    QString configFile;
    QString configDirectory;
    QString logDirectory;
    QString managementPasswordFile;
    QByteArray managementPassword;
    int processId = 0;
    QProcess *process = nullptr;
    int serviceState = ServiceIdle;
    QThread serviceThread;
    ServiceHandler *serviceHandler = nullptr;
    bool holdPending = false;
    // The restart pause OpenVPN leaves to us while it holds (">HOLD:...:N").
    int holdSeconds = 0;
    bool closePending = false;
    int resetCounter = 0;
    int tunWaitCounter = 0;
    int managementRetries = 0;
    QTcpSocket *socket = nullptr;
    QByteArray buffer;
    QString lastError;
    // The user has been told why this attempt failed.
    bool errorReported = false;
    QString tunDevice;
    qint64 lastIn = 0;
    qint64 lastOut = 0;
    QString stunnelConfig;
    QProcess *stunnel = nullptr;
    QProcess *linkRepair = nullptr;

    void log(const QString &message);
    void line(const QString &message);
    void setState(VpnConnection::State newState);
    // Sets Disconnected, or says the driver is free when it already was.
    void finish();
    bool prepareConfiguration();
    bool writeResource(const VpnResource &resource);
    void startOpenVpnProcess();
    void startService();
    void stopService();
    // Keeps what runs now where the next run looks after a crash.
    void saveTunnelRecord();
    // Ends a program an earlier run started, if pid still names it; marker is an
    // argument the driver gives that program and no other. With a record, OpenVPN is
    // first asked to stop through its management interface.
    void endLeftover(const QString &name, qint64 pid, const QString &marker, const TunnelRecord *management);
    void removeSecrets();
    void killStunnel();
    void fail(const QString &message);
    void reportError(const QString &message);

signals:
    void internalProcessFinished();
    void stateChanged(VpnConnection::State state);
    void stateStringChanged(const QString &state);
    void byteCount(qlonglong in, qlonglong out);
    void connectionError(const VpnServer &server, const VpnConfiguration &config, const QString &errorMessage);

public slots:
    void tapInstallFinished(bool success);
    void serviceStarted();
    void serviceFailed();
    void serviceStopped();
    void serviceEnded();
    void processStarted();
    void processFinished(int code);
    void connectToManagementSocket();
    void socketConnected();
    void socketDisconnected();
    void socketCommand(const QString &command);
    void socketResponse(const QByteArray &data);
    void socketRead();
    void socketError(QAbstractSocket::SocketError error);
    void stunnelStarted();
    // Starts OpenVPN once stunnel listens.
    void waitForStunnel(int waitedMs);
    void stunnelFinished(int result);
    void linkRepairFinished();
};

OpenVpnPrivate::OpenVpnPrivate(LogManager *logManager, Context *context, OpenVpn *q)
    : q(q)
    , logManager(logManager)
    , context(context)
    , elevated(WinUtils::isRunningAsAdministrator())
{
    serviceHandler = new ServiceHandler(logManager);
    serviceHandler->moveToThread(&serviceThread);
    connect(&serviceThread, &QThread::finished, serviceHandler, &QObject::deleteLater);
    connect(serviceHandler, &ServiceHandler::serviceStarted, this, &OpenVpnPrivate::serviceStarted);
    connect(serviceHandler, &ServiceHandler::serviceFailed, this, &OpenVpnPrivate::serviceFailed);
    connect(serviceHandler, &ServiceHandler::serviceStopped, this, &OpenVpnPrivate::serviceStopped);
    connect(serviceHandler, &ServiceHandler::serviceEnded, this, &OpenVpnPrivate::serviceEnded);
    serviceThread.setObjectName(QStringLiteral("OpenVpnService"));
    serviceThread.start(QThread::InheritPriority);
}

OpenVpnPrivate::~OpenVpnPrivate()
{
    // A tunnel must not outlive the program that drives it.
    const bool endsChildren = process || stunnel;
    if (process) {
        process->disconnect(this);
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
    if (stunnel) {
        stunnel->disconnect(this);
        stunnel->kill();
        stunnel->waitForFinished(1000);
    }
    removeSecrets();
    serviceThread.quit();
    serviceThread.wait();
    // The tunnel ended here is off record; a service that may still carry one stays on
    // it for the next run.
    if (endsChildren && serviceState == ServiceIdle)
        TunnelRecord::remove();
}

void OpenVpnPrivate::log(const QString &message)
{
    logManager->addData(LogManager::OpenVpnLevel, "[[[ " + message.toLatin1() + " ]]]\r\n");
}

void OpenVpnPrivate::line(const QString &message)
{
    logManager->addLineWithTimestamp(message);
}

void OpenVpnPrivate::setState(VpnConnection::State newState)
{
    if (state == newState)
        return;
    state = newState;
    emit stateChanged(state);
}

void OpenVpnPrivate::finish()
{
    // A tunnel that ends on its own before it came up failed; unless the reason
    // was already given, say so. Everything OpenVPN said has been read by now.
    if (state == VpnConnection::Connecting && !errorReported) {
        const QString message = QStringLiteral("OpenVPN stopped before the connection was made; the OpenVPN log says why.");
        line(message);
        reportError(message);
    }
    removeSecrets();
    TunnelRecord::remove();
    if (state != VpnConnection::Disconnected)
        setState(VpnConnection::Disconnected);
    else
        emit internalProcessFinished();
}

void OpenVpnPrivate::reportError(const QString &message)
{
    errorReported = true;
    emit connectionError(server, configuration, message);
}

void OpenVpnPrivate::fail(const QString &message)
{
    lastError = message;
    line(message);
    reportError(message);
    q->disconnect();
}

bool OpenVpnPrivate::writeResource(const VpnResource &resource)
{
    const QString path = configDirectory + QLatin1Char('/') + QFileInfo(resource.fileName()).fileName();
    QFile file(path);
    if (resource.fileName().isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        log(QStringLiteral("VpnResource: Couldn't open %1 for writing").arg(path));
        return false;
    }
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (resource.encoding().isEmpty()) {
        file.write(resource.content());
        return true;
    }
    QString text = QString::fromUtf8(resource.content());
    text.replace(QLatin1String("__HOST_NAME__"), server.host());
    text.replace(QLatin1String("__LOCAL_PORT__"), QString::number(OpenVpn::StealthPort));
    text += QStringLiteral("\nmanagement %1 %2 %3\nmanagement-hold\nmanagement-query-passwords\n")
                .arg(ManagementAddress)
                .arg(OpenVpn::ManagementPort)
                .arg(quoted(managementPasswordFile));
    file.write(text.toUtf8());
    return true;
}

bool OpenVpnPrivate::prepareConfiguration()
{
    if (server.isNull())
        return false;
    configDirectory = OpenVpn::configDirectory();
    logDirectory = OpenVpn::logDirectory();
    if (!QDir().mkpath(configDirectory))
        line(QStringLiteral("Cannot create OpenVPN config path '%1'").arg(configDirectory));
    QDir().mkpath(logDirectory);
    // The privileged service writes OpenVPN's log only into a folder no one else may
    // change; whatever the user's umask.
    for (const QString &folder : { configDirectory, logDirectory })
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    configFile = configDirectory + ConfigFileName;
    QFile::remove(configFile);

    // Only this program may drive the management interface: OpenVPN asks for a
    // password that lives in a file of the user's own.
    managementPasswordFile = configDirectory + PasswordFileName;
    managementPassword = QByteArray::number(QRandomGenerator::system()->generate64(), 16)
        + QByteArray::number(QRandomGenerator::system()->generate64(), 16);
    QFile passwordFile(managementPasswordFile);
    if (passwordFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        passwordFile.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        passwordFile.write(managementPassword + '\n');
        passwordFile.close();
    }

    const QList<VpnResource> resources = context->vpnResources(server, configuration.protocol());
    for (const VpnResource &resource : resources) {
        if (!writeResource(resource))
            break;
    }
    if (!QFileInfo::exists(configFile)) {
        line(QStringLiteral("Cannot find OpenVPN config file at '%1'").arg(configFile));
        return false;
    }

    if (configuration.protocol() == Vpn::OpenVpnStealth) {
        stunnelConfig = configDirectory + StunnelConfigFileName;
        QFile file(stunnelConfig);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            // stunnel runs as our child: in the foreground, without a pid file,
            // and it takes connections from this machine only.
            const QStringList lines{QStringLiteral("foreground = yes"),
                                    QStringLiteral("pid ="),
                                    QStringLiteral("[openvpn]"),
                                    QStringLiteral("client = yes"),
                                    QStringLiteral("accept = %1:%2").arg(ManagementAddress).arg(OpenVpn::StealthPort),
                                    QStringLiteral("connect = %1:%2").arg(server.stealthAddress()).arg(server.stealthPort())};
            file.write((lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n")).toUtf8());
        }
    }

    executable = OpenVpn::program();
    if (executable.isEmpty())
        line(QStringLiteral("Cannot find OpenVPN executable"));
    return true;
}

void OpenVpnPrivate::removeSecrets()
{
    if (!managementPasswordFile.isEmpty())
        QFile::remove(managementPasswordFile);
    managementPassword.clear();
}

void OpenVpnPrivate::saveTunnelRecord()
{
    TunnelRecord record;
    record.service = serviceState != ServiceIdle;
    record.openVpnPid = process ? process->processId() : 0;
    record.stunnelPid = stunnel ? stunnel->processId() : 0;
    record.managementPort = OpenVpn::ManagementPort;
    record.managementPassword = managementPassword;
    if (!record.save())
        log(QStringLiteral("Cannot write the tunnel record '%1'").arg(TunnelRecord::fileName()));
}

void OpenVpnPrivate::endLeftover(const QString &name, qint64 pid, const QString &marker,
                                 const TunnelRecord *management)
{
    if (!ProcessUtils::isRunning(pid))
        return;
    if (!ProcessUtils::hasArgument(pid, marker)) {
        log(QStringLiteral("Process %1 is not the %2 of the earlier run; leaving it alone")
                .arg(pid)
                .arg(name));
        return;
    }
    log(QStringLiteral("%1 process %2 of the earlier run is still running. Stopping it ...")
            .arg(name)
            .arg(pid));
    // OpenVPN restores routes and the tun device when asked to stop; the management
    // interface also reaches an OpenVPN this user may not signal.
    const bool asked = management
        && askToStop(management->managementPort, management->managementPassword);
    if (!asked)
        ::kill(pid_t(pid), SIGTERM);
    if (!ProcessUtils::waitForEnd(pid, LeftoverStopMs)) {
        log(QStringLiteral("%1 process %2 did not stop; killing it").arg(name).arg(pid));
        ::kill(pid_t(pid), SIGKILL);
        ProcessUtils::waitForEnd(pid, LeftoverKillMs);
    }
    if (ProcessUtils::isRunning(pid))
        log(QStringLiteral("%1 process %2 could not be stopped").arg(name).arg(pid));
    else
        log(QStringLiteral("%1 process %2 of the earlier run has ended").arg(name).arg(pid));
}

void OpenVpnPrivate::killStunnel()
{
    if (stunnel && stunnel->state() != QProcess::NotRunning)
        stunnel->kill();
}

void OpenVpnPrivate::startOpenVpnProcess()
{
    QStringList arguments{QStringLiteral("--cd"),
                                QDir::toNativeSeparators(configDirectory),
                                QStringLiteral("--management"),
                                ManagementAddress,
                                QString::number(OpenVpn::ManagementPort),
                                managementPasswordFile,
                                QStringLiteral("--management-query-passwords"),
                                QStringLiteral("--management-hold"),
                                QStringLiteral("--config"),
                                QDir::toNativeSeparators(configFile),
                                QStringLiteral("--log"),
                                QDir::toNativeSeparators(logDirectory + QStringLiteral("/openvpn.log"))};
    const QString dns = dnsScript();
    if (dns.isEmpty()) {
        line(QStringLiteral("The DNS servers of the VPN are not applied: no noxel-dns that only root can change was found"));
    } else {
        arguments << QStringLiteral("--script-security") << QStringLiteral("2") << QStringLiteral("--up") << dns
                  << QStringLiteral("--down") << dns;
    }
    process = new QProcess(this);
    ProcessUtils::endWithParent(process);
    process->setWorkingDirectory(configDirectory);
    connect(process, &QProcess::started, this, &OpenVpnPrivate::processStarted);
    connect(process, &QProcess::finished, this, &OpenVpnPrivate::processFinished);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            log(QStringLiteral("OpenVPN could not be started: %1").arg(process->errorString()));
            processFinished(-1);
        }
    });
    line(QStringLiteral("Starting OpenVPN with the following arguments '%1'").arg(arguments.join(QLatin1String("\r\n"))));
    process->start(executable, arguments);
}

void OpenVpnPrivate::startService()
{
    log(QStringLiteral("Starting OpenVPN service"));
    serviceState = ServiceStartRequested;
    saveTunnelRecord();
    QMetaObject::invokeMethod(serviceHandler, "startServiceAsync", Qt::AutoConnection, Q_ARG(QString, SERVICE_NAME));
    line(QStringLiteral("Starting OpenVPN service"));
}

void OpenVpnPrivate::stopService()
{
    log(QStringLiteral("Stopping OpenVPN service"));
    serviceState = ServiceStopping;
    setState(VpnConnection::Disconnecting);
    QMetaObject::invokeMethod(serviceHandler, "stopServiceAsync", Qt::AutoConnection, Q_ARG(QString, SERVICE_NAME));
}

void OpenVpnPrivate::tapInstallFinished(bool success)
{
    tapInstalling = false;
    if (!success)
        return;
    tapReady = true;
    QSettings().setValue(QStringLiteral("tap_version"), TAP_VERSION);
    emit internalProcessFinished();
}

void OpenVpnPrivate::serviceStarted()
{
    log(QStringLiteral("OpenVPN service started"));
    serviceState = ServiceStarted;
    QTimer::singleShot(FastRetryMs, this, &OpenVpnPrivate::connectToManagementSocket);
}

void OpenVpnPrivate::serviceFailed()
{
    log(QStringLiteral("OpenVPN service failed"));
    serviceState = ServiceIdle;
    // The service says in OpenVPN's log why it refused to start it.
    QFile openVpnLog(logDirectory + QStringLiteral("/openvpn.log"));
    if (state == VpnConnection::Connecting && !errorReported && openVpnLog.open(QIODevice::ReadOnly)) {
        openVpnLog.seek(qMax<qint64>(0, openVpnLog.size() - 16 * 1024));
        const QStringList lines = QString::fromUtf8(openVpnLog.readAll()).split(QLatin1Char('\n'));
        const QString prefix = QStringLiteral("noxel-openvpn-service: ");
        for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
            if (!it->startsWith(prefix))
                continue;
            const QString message = QStringLiteral("The OpenVPN service did not start OpenVPN: %1").arg(it->mid(prefix.size()).trimmed());
            line(message);
            reportError(message);
            break;
        }
    }
    managementRetries = 0;
    killStunnel();
    finish();
}

void OpenVpnPrivate::serviceStopped()
{
    log(QStringLiteral("OpenVPN service stopped"));
    serviceState = ServiceIdle;
    killStunnel();
    if (!socket)
        finish();
}

void OpenVpnPrivate::serviceEnded()
{
    // Only an OpenVPN whose management interface never answered: the driver waits
    // for it and nothing else would tell that it is gone.
    if (serviceState != ServiceStarted)
        return;
    log(QStringLiteral("OpenVPN service ended before its management interface answered"));
    serviceState = ServiceIdle;
    managementRetries = 0;
    if (socket) {
        socket->disconnect(this);
        socket->deleteLater();
        socket = nullptr;
    }
    killStunnel();
    // A Stealth tunnel ends with its stunnel, which reports the end.
    if (!stunnel)
        finish();
}

void OpenVpnPrivate::processStarted()
{
    log(QStringLiteral("OpenVPN process was started successfully."));
    saveTunnelRecord();
    QTimer::singleShot(FastRetryMs, this, &OpenVpnPrivate::connectToManagementSocket);
}

void OpenVpnPrivate::processFinished(int code)
{
    log(QStringLiteral("OpenVPN process finished with code %1").arg(code));
    if (process) {
        // A killed OpenVPN ran no down script: the resolver is put back once its device is gone.
        const QString dns = dnsScript();
        if (!dns.isEmpty())
            QProcess::startDetached(dns, {QStringLiteral("restore")});
        process->disconnect(this);
        process->deleteLater();
        process = nullptr;
    }
    processId = 0;
    killStunnel();
    if (socket && socket->state() == QAbstractSocket::ConnectedState) {
        // The management connection ends with the process; it reports the end.
        return;
    }
    if (socket) {
        socket->disconnect(this);
        socket->deleteLater();
        socket = nullptr;
    }
    // A Stealth tunnel ends with its stunnel, which was just killed; it reports the end.
    if (stunnel)
        return;
    finish();
}

void OpenVpnPrivate::connectToManagementSocket()
{
    if (!process && serviceState < ServiceStartRequested)
        return;
    log(QStringLiteral("Connecting to OpenVPN management interface @'%1:%2'").arg(ManagementAddress).arg(OpenVpn::ManagementPort));
    if (socket) {
        socket->disconnect(this);
        socket->deleteLater();
    }
    socket = new QTcpSocket(this);
    connect(socket, &QTcpSocket::connected, this, &OpenVpnPrivate::socketConnected);
    connect(socket, &QTcpSocket::disconnected, this, &OpenVpnPrivate::socketDisconnected);
    connect(socket, &QTcpSocket::readyRead, this, &OpenVpnPrivate::socketRead);
    connect(socket, &QTcpSocket::errorOccurred, this, &OpenVpnPrivate::socketError);
    socket->connectToHost(ManagementAddress, OpenVpn::ManagementPort);
}

void OpenVpnPrivate::socketConnected()
{
    log(QStringLiteral("Connected to OpenVPN management interface @'%1:%2'").arg(ManagementAddress).arg(OpenVpn::ManagementPort));
    if (serviceState != ServiceIdle)
        serviceState = ServiceRunning;
    managementRetries = 0;
    buffer.clear();
    if (closePending) {
        log(QStringLiteral("Pending close, stopping OpenVPN service ..."));
        closePending = false;
        q->disconnect();
    }
}

void OpenVpnPrivate::socketDisconnected()
{
    log(QStringLiteral("Disconnected from OpenVPN managment socket"));
    managementRetries = 0;
    if (socket) {
        socket->disconnect(this);
        socket->deleteLater();
        socket = nullptr;
    }
    lastStateName.clear();
    lastError.clear();
    if (serviceState == ServiceRunning) {
        // Nobody asked the service to stop: its OpenVPN ended by itself, or cannot be
        // driven any more. The unit's end reports the end of the attempt.
        log(QStringLiteral("OpenVPN service lost its management connection. Stopping it ..."));
        serviceState = ServiceStopping;
        QMetaObject::invokeMethod(
            serviceHandler, "stopServiceAsync", Qt::AutoConnection, Q_ARG(QString, SERVICE_NAME));
        return;
    }
    if (process || stunnel || (!elevated && serviceState != ServiceIdle)) {
        // The process, stunnel or the service reports the end.
        return;
    }
    finish();
}

void OpenVpnPrivate::socketError(QAbstractSocket::SocketError error)
{
    log(QStringLiteral("OpenVPN management interface returned error '%1'").arg(int(error)));
    if (error != QAbstractSocket::ConnectionRefusedError)
        return;
    ++managementRetries;
    const int slowRetry = managementRetries - FastManagementRetries;
    // The service may have ended without OpenVPN ever listening (asked every tenth
    // time while trying fast).
    if (serviceState == ServiceStarted && (slowRetry > 0 || managementRetries % 10 == 0))
        QMetaObject::invokeMethod(
            serviceHandler, "checkServiceAsync", Qt::AutoConnection, Q_ARG(QString, SERVICE_NAME));
    if (slowRetry < ManagementRetries) {
        QTimer::singleShot(slowRetry > 0 ? slowRetry * 1000 : FastRetryMs, this,
                           &OpenVpnPrivate::connectToManagementSocket);
        return;
    }
    // OpenVPN never opened its management port: the tunnel cannot be driven.
    if (socket) {
        socket->disconnect(this);
        socket->deleteLater();
        socket = nullptr;
    }
    fail(QStringLiteral("OpenVPN did not open its management interface; see the OpenVPN log for why."));
}

void OpenVpnPrivate::socketCommand(const QString &command)
{
    if (!socket)
        return;
    // The credentials never reach the log.
    const bool secret = command.startsWith(QLatin1String("password ")) || command.startsWith(QLatin1String("username "));
    log(QStringLiteral(">>> ") + (secret ? command.section(QLatin1Char(' '), 0, 1) + QStringLiteral(" ***") : command)
        + QStringLiteral("\r\n"));
    // OpenVPN passes the credentials on byte for byte; the server expects UTF-8.
    socket->write(command.toUtf8() + "\r\n");
    socket->flush();
}

void OpenVpnPrivate::socketRead()
{
    if (!socket)
        return;
    // OpenVPN sends a command's echo and its answer separately and holds the answer
    // (Nagle) until the echo is acknowledged: acknowledge at once rather than after
    // the kernel's delayed-acknowledgement pause, some 40 ms per command.
    const int quickAck = 1;
    ::setsockopt(int(socket->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &quickAck, sizeof quickAck);
    buffer.append(socket->readAll());
    // The password prompt ends without a line feed.
    if (buffer.startsWith("ENTER PASSWORD:")) {
        buffer.remove(0, 15);
        socket->write(managementPassword + "\r\n");
        socket->flush();
    }
    qsizetype end;
    while (socket && (end = buffer.indexOf('\n')) >= 0) {
        const QByteArray lineBytes = buffer.left(end + 1);
        buffer.remove(0, end + 1);
        socketResponse(lineBytes);
    }
}

void OpenVpnPrivate::socketResponse(const QByteArray &data)
{
    static const QRegularExpression notification(QStringLiteral(">([^:]+):([0-9]+),([^,]*),(.+)"));
    // OpenVPN 2.6 reports a TCP server that went away with one reset, then one failed
    // connect per retry.
    static const QRegularExpression connectFailed(QStringLiteral("TCP: connect to .* failed: "));
    static const QRegularExpression permissionDenied(
        QStringLiteral("^N: TCP: connect to .* failed, will try again in \\d* seconds: Permission denied \\(WSAEACCES\\)$"));

    const QString text = QString::fromLatin1(data).trimmed();
    QString stateName;
    bool isLog = false;
    QDateTime time = QDateTime::currentDateTime();
    const QRegularExpressionMatch match = notification.match(text);
    if (match.hasMatch()) {
        if (match.captured(1) == QLatin1String("STATE"))
            stateName = match.captured(3);
        else if (match.captured(1) == QLatin1String("LOG"))
            isLog = true;
        time = QDateTime::fromSecsSinceEpoch(match.captured(2).toLongLong());
    }
    if (!stateName.isEmpty() && stateName != lastStateName) {
        emit stateStringChanged(stateName);
        lastStateName = stateName;
    }

    const bool byteCountLine = text.startsWith(QLatin1String(">BYTECOUNT:"));
    if (!byteCountLine) {
        logManager->addData(LogManager::OpenVpnLevel, text.toLatin1() + "\r\n");
        logManager->addLine(time, text);
    }
    if (!isLog && byteCountLine) {
        const QStringList totals = text.mid(11).split(QLatin1Char(','));
        const qint64 in = totals.value(0).toLongLong();
        const qint64 out = totals.value(1).toLongLong();
        emit byteCount(in - lastIn, out - lastOut);
        lastIn = in;
        lastOut = out;
        return;
    }

    if (!isLog) {
        if (text.contains(QLatin1String("HOLD:Waiting for hold release"))) {
            holdPending = true;
            holdSeconds = text.section(QLatin1Char(':'), 2, 2).toInt();
            socketCommand(QStringLiteral("log on"));
            return;
        }
        if (text.startsWith(QLatin1String("SUCCESS: real-time log notification set to ON"))) {
            socketCommand(QStringLiteral("state on"));
            return;
        }
        if (text.startsWith(QLatin1String("SUCCESS: real-time state notification set to ON"))) {
            socketCommand(QStringLiteral("bytecount %1").arg(ByteCountInterval));
            return;
        }
        if (text.startsWith(QLatin1String("SUCCESS: bytecount interval changed"))) {
            socketCommand(QStringLiteral("pid"));
            return;
        }
        if (text.startsWith(QLatin1String("SUCCESS: pid="))) {
            processId = text.mid(13).toInt();
            socketCommand(QStringLiteral("state"));
            return;
        }
        if (text == QLatin1String("END") && holdPending) {
            holdPending = false;
            if (holdSeconds <= 0) {
                socketCommand(QStringLiteral("hold release"));
                return;
            }
            // After a restart OpenVPN holds instead of pausing: releasing at once
            // would retry a dead server many times a second.
            QTimer::singleShot(holdSeconds * 1000, this, [this, held = QPointer<QTcpSocket>(socket)] {
                if (held && held == socket)
                    socketCommand(QStringLiteral("hold release"));
            });
            return;
        }
    }

    if (text.contains(QLatin1String("PASSWORD:Need 'Auth' username/password"))) {
        // A line break would start a command of its own on the management interface.
        const auto unsafe = [](const QString &value) {
            return value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'));
        };
        if (unsafe(configuration.username()) || unsafe(configuration.password())) {
            fail(QStringLiteral("The VPN user name or password holds a line break and cannot be sent."));
            return;
        }
        socketCommand(QStringLiteral("username \"Auth\" ") + quoted(configuration.username()));
    } else if (text.contains(QLatin1String("SUCCESS: 'Auth' username entered, but not yet verified"))) {
        socketCommand(QStringLiteral("password \"Auth\" ") + quoted(configuration.password()));
    } else if (text.contains(QLatin1String("PASSWORD:Verification Failed: 'Auth'")) || text.contains(QLatin1String("AUTH_FAILED"))) {
        if (!errorReported)
            fail(QStringLiteral("The VPN server refused the VPN user name or password."));
    } else if (text.contains(QLatin1String("Initialization Sequence Completed With Errors"))) {
        q->disconnect();
    } else if (text.contains(QLatin1String("Initialization Sequence Completed")) || stateName == QLatin1String("CONNECTED")) {
        resetCounter = 0;
        tunWaitCounter = 0;
        // Reported before OpenVPN read "signal SIGTERM": the tunnel is still going down.
        if (state != VpnConnection::Disconnecting)
            setState(VpnConnection::Connected);
    } else if (stateName == QLatin1String("GET_CONFIG") || stateName == QLatin1String("TCP_CONNECT")
               || stateName == QLatin1String("RESOLVE") || stateName == QLatin1String("RECONNECTING")) {
        // A tunnel that reconnects carries nothing until it is up again.
        if (state != VpnConnection::Disconnecting)
            setState(VpnConnection::Connecting);
    } else if (text.contains(QLatin1String("Cannot open TUN/TAP dev")) || text.contains(QLatin1String("Cannot ioctl TUNSETIFF"))) {
        fail(text);
    } else if (text.contains(QLatin1String("Inactivity timeout (--ping-exit), exiting"))) {
        q->disconnect();
    } else if (text.contains(QLatin1String("Connection reset, restarting"))
               || (resetCounter > 0 && connectFailed.match(text).hasMatch())) {
        if (++resetCounter == MaximumResets) {
            const QString message = lastError.isEmpty()
                ? QStringLiteral("The VPN server closed the connection %1 times in a row.").arg(MaximumResets)
                : lastError;
            lastError = message;
            reportError(message);
            q->disconnect();
        }
    } else if (permissionDenied.match(text).hasMatch()) {
        q->disconnect();
    } else if (text.contains(QLatin1String("TUN/TAP device ")) && text.contains(QLatin1String(" opened"))) {
        tunDevice = text.section(QLatin1String("TUN/TAP device "), 1).section(QLatin1Char(' '), 0, 0);
    } else if (text.contains(QLatin1String("Waiting for TUN/TAP interface to come up"))) {
        if (++tunWaitCounter >= TunWaitsBeforeRepair) {
            tunWaitCounter = 0;
            if (!linkRepair && !tunDevice.isEmpty()) {
                linkRepair = new QProcess(this);
                connect(linkRepair, &QProcess::finished, this, &OpenVpnPrivate::linkRepairFinished);
                linkRepair->start(QStringLiteral("ip"), {QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("dev"),
                                                         tunDevice, QStringLiteral("up")});
            }
        }
    }
}

void OpenVpnPrivate::stunnelStarted()
{
    log(QStringLiteral("stunnel started"));
    saveTunnelRecord();
    waitForStunnel(0);
}

void OpenVpnPrivate::waitForStunnel(int waitedMs)
{
    if (!stunnel)
        return;
    if (waitedMs < StunnelWaitMs && !WinUtils::isLoopbackPortListening(OpenVpn::StealthPort)) {
        QTimer::singleShot(StunnelPollMs, this, [this, waitedMs] { waitForStunnel(waitedMs + StunnelPollMs); });
        return;
    }
    if (elevated)
        startOpenVpnProcess();
    else
        startService();
}

void OpenVpnPrivate::stunnelFinished(int result)
{
    log(QStringLiteral("stunnel process finished with code '%1'").arg(result));
    if (stunnel) {
        stunnel->disconnect(this);
        stunnel->deleteLater();
        stunnel = nullptr;
    }
    QFile::remove(stunnelConfig);
    if (process || socket || serviceState != ServiceIdle) {
        // The tunnel has lost its way to the server; OpenVPN's own end follows.
        if (state != VpnConnection::Disconnecting && state != VpnConnection::Disconnected)
            q->disconnect();
        return;
    }
    finish();
}

void OpenVpnPrivate::linkRepairFinished()
{
    linkRepair->deleteLater();
    linkRepair = nullptr;
}

OpenVpn::OpenVpn(LogManager *logManager, Context *context, QObject *parent)
    : QObject(parent)
    , d(new OpenVpnPrivate(logManager, context, this))
{
    d->setParent(this);
    connect(d, &OpenVpnPrivate::internalProcessFinished, this, &OpenVpn::processFinished);
    connect(d, &OpenVpnPrivate::stateChanged, this, &OpenVpn::stateChanged);
    connect(d, &OpenVpnPrivate::stateStringChanged, this, &OpenVpn::stateStringChanged);
    connect(d, &OpenVpnPrivate::byteCount, this, &OpenVpn::byteCount);
    connect(d, &OpenVpnPrivate::connectionError, this, &OpenVpn::connectionError);
}

OpenVpn::~OpenVpn() = default;

QString OpenVpn::configDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/config");
}

QString OpenVpn::logDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/log");
}

QString OpenVpn::program()
{
    return WinUtils::findProgram(QStringLiteral("openvpn"));
}

QString OpenVpn::stunnelProgram()
{
    const QString stunnel = WinUtils::findProgram(QStringLiteral("stunnel4"));
    return stunnel.isEmpty() ? WinUtils::findProgram(QStringLiteral("stunnel")) : stunnel;
}

void OpenVpn::endLeftoverTunnel()
{
    const TunnelRecord record = TunnelRecord::load();
    if (record.isNull())
        return;
    d->log(QStringLiteral("An earlier run left a tunnel on record"));
    if (record.service && WinUtils::isServiceStarted(SERVICE_NAME)) {
        d->log(QStringLiteral("OpenVPN service is still running from previous session. Stopping it ..."));
        d->log(WinUtils::stopService(SERVICE_NAME) ? QStringLiteral("OpenVPN service stopped")
                                                   : QStringLiteral("OpenVPN service could not be stopped"));
    }
    const QString directory = configDirectory();
    d->endLeftover(QStringLiteral("OpenVPN"), record.openVpnPid, directory + ConfigFileName, &record);
    d->endLeftover(QStringLiteral("stunnel"), record.stunnelPid, directory + StunnelConfigFileName, nullptr);
    TunnelRecord::remove();
    QFile::remove(directory + PasswordFileName);
}

void OpenVpn::restoreDns()
{
    // The script keeps what it replaced there, and removes the folder once nothing is kept.
    if (!d->elevated || !QFileInfo::exists(QStringLiteral("/run/noxel-dns")))
        return;
    const QString dns = dnsScript();
    if (dns.isEmpty())
        return;
    QProcess restore;
    restore.setProcessChannelMode(QProcess::MergedChannels);
    restore.start(dns, {QStringLiteral("restore")});
    if (!restore.waitForFinished(DnsRestoreMs))
        restore.kill();
    const QByteArray said = restore.readAll().trimmed();
    if (!said.isEmpty())
        d->log(QString::fromLocal8Bit(said));
}

void OpenVpn::setFeedback(ConnectionFeedback *feedback)
{
    d->feedback = feedback;
}

bool OpenVpn::isReady()
{
    if (d->tapInstalling) {
        if (d->feedback)
            d->feedback->setUpTunDevice({});
        return false;
    }
    if (d->tapReady || !d->elevated)
        return true;
    if (WinUtils::isTunDevicePresent()) {
        d->tapReady = true;
        QSettings().setValue(QStringLiteral("tap_version"), TAP_VERSION);
        return true;
    }
    if (!d->feedback) {
        d->log(QStringLiteral("The tun device %1 is missing and nobody can set it up").arg(WinUtils::tunDevicePath()));
        return false;
    }
    d->tapInstalling = true;
    QPointer<OpenVpnPrivate> guard(d);
    d->feedback->setUpTunDevice([guard](bool success) {
        if (guard)
            guard->tapInstallFinished(success);
    });
    return false;
}

bool OpenVpn::open(const VpnServer &server, const VpnConfiguration &configuration)
{
    if (d->socket)
        return false;
    d->log(QStringLiteral("Opening connection to %1").arg(server.host()));
    if (d->elevated && d->process) {
        d->log(QStringLiteral("Cannot open OpenVPN connection because there's another process still running."));
        return false;
    }
    if (!d->elevated) {
        if (d->serviceState != ServiceIdle) {
            d->log(QStringLiteral("Cannot start OpenVPN service as it is already running"));
            return false;
        }
        if (WinUtils::isServiceStarted(SERVICE_NAME)) {
            d->log(QStringLiteral("OpenVPN service is still running from previous session. Stopping it ..."));
            QMetaObject::invokeMethod(d->serviceHandler, "stopServiceAsync", Qt::AutoConnection, Q_ARG(QString, SERVICE_NAME));
            return false;
        }
    }
    if (d->stunnel) {
        d->log(QStringLiteral("Cannot start OpenVPN service as stunnel is still running"));
        return false;
    }

    d->server = server;
    d->configuration = configuration;
    d->lastIn = 0;
    d->lastOut = 0;
    d->resetCounter = 0;
    d->tunWaitCounter = 0;
    d->lastError.clear();
    d->errorReported = false;
    d->tunDevice.clear();
    d->managementRetries = 0;
    if (!d->prepareConfiguration() || d->executable.isEmpty() || d->configFile.isEmpty()
        || !QFileInfo::exists(d->configFile)) {
        d->removeSecrets();
        return false;
    }

    d->closePending = false;
    d->setState(VpnConnection::Connecting);

    if (configuration.protocol() == Vpn::OpenVpnStealth) {
        const QString program = OpenVpn::stunnelProgram();
        if (program.isEmpty()) {
            d->fail(QStringLiteral("Stealth OpenVPN needs the program stunnel (Debian package stunnel4), which is not installed."));
            d->finish();
            return true;
        }
        d->log(QStringLiteral("Starting stunnel"));
        d->stunnel = new QProcess(d);
        ProcessUtils::endWithParent(d->stunnel);
        d->stunnel->setWorkingDirectory(d->configDirectory);
        d->stunnel->setProcessChannelMode(QProcess::MergedChannels);
        connect(d->stunnel, &QProcess::started, d, &OpenVpnPrivate::stunnelStarted);
        connect(d->stunnel, &QProcess::finished, d, &OpenVpnPrivate::stunnelFinished);
        connect(d->stunnel, &QProcess::readyRead, d, [this] {
            if (d->stunnel)
                d->logManager->addData(LogManager::OpenVpnLevel, d->stunnel->readAll());
        });
        connect(d->stunnel, &QProcess::errorOccurred, d, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                d->stunnelFinished(-1);
        });
        d->stunnel->start(program, {QDir::toNativeSeparators(d->stunnelConfig)});
        return true;
    }
    if (d->elevated)
        d->startOpenVpnProcess();
    else
        d->startService();
    return true;
}

void OpenVpn::disconnect()
{
    if (d->process) {
        d->log(QStringLiteral("Stopping OpenVPN process"));
        d->setState(VpnConnection::Disconnecting);
        // OpenVPN restores routes and the tun device when asked to stop.
        if (d->socket && d->socket->state() == QAbstractSocket::ConnectedState)
            d->socketCommand(QStringLiteral("signal SIGTERM"));
        else
            d->process->terminate();
        QPointer<QProcess> process = d->process;
        QTimer::singleShot(10000, d, [process] {
            if (process && process->state() != QProcess::NotRunning)
                process->kill();
        });
        return;
    }
    if (d->serviceState >= ServiceStartRequested) {
        d->log(QStringLiteral("Closing connection (%1)").arg(d->serviceState));
        // A stop waits for the management connection that is still being tried; once
        // the driver gave up on it, nothing would act on a scheduled stop.
        if (d->serviceState == ServiceStartRequested || (d->serviceState == ServiceStarted && d->socket)) {
            d->log(QStringLiteral("OpenVPN service still starting, scheduling stop"));
            d->closePending = true;
            return;
        }
        d->stopService();
        return;
    }
    if (d->stunnel) {
        d->setState(VpnConnection::Disconnecting);
        d->stunnel->terminate();
    }
}

#include "openvpn.moc"
