#include "rasdialerimpl.h"

#include "constants.h"
#include "logmanager.h"
#include "processutils.h"
#include "rasphonebook.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QNetworkInterface>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int StatsInterval = 1000;
constexpr int PollInterval = 100;
// How long a program has to exit on SIGTERM before it gets SIGKILL.
constexpr int TerminateTimeout = 5000;
// How long xl2tpd has to open its control file.
constexpr int ControlTimeout = 5000;
// Each of "ipsec down" and "ipsec stop" when the attempt ends.
constexpr int IpsecStopTimeout = 5000;

// Tests point this at a tree of their own. Read once: the kernel's layout does not move.
QString sysfsRoot()
{
    static const QString root = qEnvironmentVariableIsEmpty("NOXEL_SYSFS_ROOT")
        ? QStringLiteral("/sys")
        : qEnvironmentVariable("NOXEL_SYSFS_ROOT");
    return root;
}

bool readCounter(const QString &interface, const QString &counter, qint64 *value)
{
    QFile file(
        sysfsRoot() + QStringLiteral("/class/net/") + interface + QStringLiteral("/statistics/") + counter);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool ok = false;
    *value = file.readAll().trimmed().toLongLong(&ok);
    return ok;
}

bool hasAddress(const QString &interface)
{
    const QList<QNetworkAddressEntry> entries
        = QNetworkInterface::interfaceFromName(interface).addressEntries();
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            return true;
    }
    return false;
}

// pppd is setuid root under /usr/sbin, which a user's PATH often lacks.
QString findProgram(const QString &name)
{
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty())
        return onPath;
    return QStandardPaths::findExecutable(name, { QStringLiteral("/usr/sbin"), QStringLiteral("/sbin") });
}

QString missingProgram(const QString &program, const QString &package)
{
    return RasDialerImpl::tr("The program %1 is not installed; it comes with the Debian package %2.")
        .arg(program, package);
}

// pppd's words for why an attempt failed, most telling first.
struct KnownError
{
    QLatin1String marker;
    const char *message;
};

const KnownError knownErrors[] = {
    { QLatin1String("authentication failed"),
        QT_TRANSLATE_NOOP(
            "RasDialerImpl", "Authentication failed: the server did not accept the user name or password.") },
    { QLatin1String("MPPE required but not available"),
        QT_TRANSLATE_NOOP("RasDialerImpl",
            "The connection needs MPPE encryption, which the server or this computer's kernel does not "
            "offer.") },
    { QLatin1String("LCP: timeout"),
        QT_TRANSLATE_NOOP(
            "RasDialerImpl", "The server stopped answering while the connection was set up (LCP timeout).") },
    { QLatin1String("Connection refused"),
        QT_TRANSLATE_NOOP("RasDialerImpl", "The server refused the connection.") },
    { QLatin1String("Modem hangup"),
        QT_TRANSLATE_NOOP("RasDialerImpl", "The other end closed the connection (modem hangup).") },
    { QLatin1String("Connection terminated"),
        QT_TRANSLATE_NOOP("RasDialerImpl", "The connection was terminated.") },
};

QString knownError(const QString &line)
{
    for (const KnownError &known : knownErrors) {
        if (line.contains(known.marker, Qt::CaseInsensitive))
            return RasDialerImpl::tr(known.message);
    }
    return QString();
}

} // namespace

class RasDialerImplPrivate
{
public:
    enum Stage {
        Idle,
        IpsecStarting, // "ipsec start" runs
        IpsecConnecting, // "ipsec up" runs
        Dialing, // pppd, or xl2tpd, runs; not yet connected
        Up,
    };

    RasDialerImpl *q = nullptr;
    LogManager *logManager = nullptr; // null while the dialer is destroyed: the log may be gone

    QMutex mutex;
    VpnServer pendingServer; // guarded by mutex
    VpnConfiguration pendingConfiguration; // guarded by mutex

    Stage stage = Idle;
    VpnServer server;
    VpnConfiguration configuration;
    bool l2tp = false;
    QString pppd;
    QString pptp;
    QString xl2tpd;
    QString ipsec; // empty: L2TP runs without IPsec
    RasPhonebook phonebook;
    QProcess *process = nullptr; // the stage's program
    // Set while the programs are being stopped: their last words are only logged.
    bool closing = false;
    bool ipsecStarted = false;
    QString interface;
    QString error; // the first of pppd's failures
    QTimer *statsTimer = nullptr;
    QTimer *controlTimer = nullptr;
    QElapsedTimer controlClock;
    qint64 lastIn = 0;
    qint64 lastOut = 0;

    void log(const QByteArray &text)
    {
        if (logManager)
            logManager->addDataWithTimestamp(LogManager::RasLevel, text);
    }
    void log(const QString &text) { log(text.toUtf8()); }

    bool findPrograms();
    void startIpsec();
    void startDialing();
    void startProcess(const QString &program, const QStringList &arguments);
    QProcessEnvironment environment() const;
    void readOutput();
    void handleLine(const QString &line);
    void processFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void writeControl();
    void setConnected();
    void stopAll();
    void stopProcess();
    void stopIpsec();
    void runIpsec(const QStringList &arguments);
    void endAttempt(const QString &errorMessage);
};

bool RasDialerImplPrivate::findPrograms()
{
    pppd = findProgram(QStringLiteral("pppd"));
    pptp = l2tp ? QString() : findProgram(QStringLiteral("pptp"));
    xl2tpd = l2tp ? findProgram(QStringLiteral("xl2tpd")) : QString();
    ipsec = l2tp ? findProgram(QStringLiteral("ipsec")) : QString();

    QString missing;
    if (pppd.isEmpty())
        missing = missingProgram(QStringLiteral("pppd"), QStringLiteral("ppp"));
    else if (!l2tp && pptp.isEmpty())
        missing = missingProgram(QStringLiteral("pptp"), QStringLiteral("pptp-linux"));
    else if (l2tp && xl2tpd.isEmpty())
        missing = missingProgram(QStringLiteral("xl2tpd"), QStringLiteral("xl2tpd"));
    if (missing.isEmpty())
        return true;
    endAttempt(missing);
    return false;
}

void RasDialerImplPrivate::startIpsec()
{
    if (!phonebook.writeIpsec(server, configuration)) {
        endAttempt(
            RasDialerImpl::tr("The IPsec settings could not be written: %1").arg(phonebook.errorString()));
        return;
    }
    log(QByteArrayLiteral("Starting IPsec with the pre-shared key"));
    stage = IpsecStarting;
    ipsecStarted = true;
    startProcess(
        ipsec, { QStringLiteral("start"), QStringLiteral("--conf"), phonebook.ipsecConfigFileName() });
}

void RasDialerImplPrivate::startDialing()
{
    stage = Dialing;
    if (!l2tp) {
        startProcess(pppd, { QStringLiteral("file"), phonebook.peerFileName() });
        return;
    }
    QFile::remove(phonebook.xl2tpdControlFileName());
    startProcess(xl2tpd,
        { QStringLiteral("-D"), QStringLiteral("-c"), phonebook.xl2tpdConfigFileName(), QStringLiteral("-C"),
            phonebook.xl2tpdControlFileName(), QStringLiteral("-p"), phonebook.xl2tpdPidFileName() });
    if (stage != Dialing)
        return;
    controlClock.start();
    controlTimer->start();
}

void RasDialerImplPrivate::startProcess(const QString &program, const QStringList &arguments)
{
    process = new QProcess(q);
    // The dialer's thread lives as long as the program.
    ProcessUtils::endWithParent(process);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setProcessEnvironment(environment());
    QObject::connect(process, &QProcess::readyReadStandardOutput, q, [this] { readOutput(); });
    QObject::connect(process, &QProcess::finished, q,
        [this](int exitCode, QProcess::ExitStatus exitStatus) { processFinished(exitCode, exitStatus); });
    QObject::connect(process, &QProcess::errorOccurred, q, [this, program](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && !closing)
            endAttempt(RasDialerImpl::tr("%1 could not be started: %2").arg(program, process->errorString()));
    });
    log(QStringLiteral("Starting %1 %2").arg(program, arguments.join(QLatin1Char(' '))));
    process->start(program, arguments);
}

QProcessEnvironment RasDialerImplPrivate::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The messages are matched in English.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    if (!ipsec.isEmpty())
        environment.insert(QStringLiteral("STRONGSWAN_CONF"), phonebook.strongSwanConfigFileName());
    return environment;
}

void RasDialerImplPrivate::readOutput()
{
    while (process && process->canReadLine())
        handleLine(QString::fromUtf8(process->readLine()).trimmed());
}

void RasDialerImplPrivate::handleLine(const QString &line)
{
    if (line.isEmpty())
        return;
    log(line);
    if (closing || (stage != Dialing && stage != Up))
        return;

    static const QRegularExpression usingInterface(QStringLiteral("Using interface ([A-Za-z0-9_.-]+)$"));
    const QRegularExpressionMatch named = usingInterface.match(line);
    if (named.hasMatch() && named.captured(1) != QLatin1String(".")
        && named.captured(1) != QLatin1String("..")) {
        interface = named.captured(1);
        statsTimer->start();
    }
    if (stage == Dialing
        && (line.contains(QLatin1String("local  IP address"))
            || line.contains(QLatin1String("remote IP address")))) {
        setConnected();
    }
    if (error.isEmpty())
        error = knownError(line);
    if (!l2tp)
        return;

    // xl2tpd outlives its pppd: the attempt ends with pppd, or when the tunnel gives up.
    static const QRegularExpression pppdExited(QStringLiteral("pppd exited for call \\d+ with code (\\d+)"));
    static const QRegularExpression pppdKilled(
        QStringLiteral("pppd terminated for call \\d+ by signal (\\d+)"));
    const QRegularExpressionMatch exited = pppdExited.match(line);
    const QRegularExpressionMatch killed = pppdKilled.match(line);
    if (exited.hasMatch())
        endAttempt(
            error.isEmpty() ? RasDialerImpl::tr("pppd exited with code %1").arg(exited.captured(1)) : error);
    else if (killed.hasMatch())
        endAttempt(
            error.isEmpty() ? RasDialerImpl::tr("pppd stopped on signal %1").arg(killed.captured(1)) : error);
    else if (line.contains(QLatin1String("Maximum retries exceeded")))
        endAttempt(error.isEmpty() ? RasDialerImpl::tr("The L2TP server did not answer.") : error);
}

void RasDialerImplPrivate::processFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    if (closing)
        return;
    readOutput();
    if (!process || stage == Idle)
        return;
    if (const QByteArray rest = process->readAll().trimmed(); !rest.isEmpty())
        handleLine(QString::fromUtf8(rest));
    if (!process || stage == Idle)
        return;
    const bool ok = exitStatus == QProcess::NormalExit && exitCode == 0;
    const QString program = QFileInfo(process->program()).fileName();
    process->deleteLater();
    process = nullptr;

    switch (stage) {
    case IpsecStarting:
        if (ok) {
            stage = IpsecConnecting;
            startProcess(ipsec, { QStringLiteral("up"), PRODUCT_NAME });
        } else {
            endAttempt(RasDialerImpl::tr("IPsec could not be started (ipsec start exited with code %1).")
                           .arg(exitCode));
        }
        return;
    case IpsecConnecting:
        if (ok) {
            // charon has read the pre-shared key.
            phonebook.removeIpsec();
            log(QByteArrayLiteral("IPsec is up"));
            startDialing();
        } else {
            endAttempt(RasDialerImpl::tr(
                "The IPsec negotiation with the server failed; the pre-shared key may be wrong."));
        }
        return;
    default:
        break;
    }
    if (!error.isEmpty())
        endAttempt(error);
    else if (exitStatus == QProcess::CrashExit)
        endAttempt(RasDialerImpl::tr("%1 stopped unexpectedly").arg(program));
    else
        endAttempt(RasDialerImpl::tr("%1 exited with code %2").arg(program).arg(exitCode));
}

void RasDialerImplPrivate::writeControl()
{
    const QByteArray path = QFile::encodeName(phonebook.xl2tpdControlFileName());
    // Without a reader, or before xl2tpd has made the FIFO, this fails at once.
    const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info = {};
    const bool fifo = fd >= 0 && ::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode);
    if (!fifo) {
        if (fd >= 0)
            ::close(fd);
        if (controlClock.elapsed() >= ControlTimeout) {
            controlTimer->stop();
            endAttempt(RasDialerImpl::tr("xl2tpd did not open its control file %1.")
                           .arg(phonebook.xl2tpdControlFileName()));
        }
        return;
    }
    controlTimer->stop();
    const QByteArray command = "c " + PRODUCT_NAME.toUtf8() + '\n';
    const bool written = ::write(fd, command.constData(), command.size()) == command.size();
    ::close(fd);
    if (written)
        log(QByteArrayLiteral("Asked xl2tpd to dial ") + PRODUCT_NAME.toUtf8());
    else
        endAttempt(RasDialerImpl::tr("The dial command could not be handed to xl2tpd."));
}

void RasDialerImplPrivate::setConnected()
{
    stage = Up;
    // pppd has read its options long since: the password leaves the disk.
    phonebook.removePeer();
    log(QByteArrayLiteral("RasDial() succeeded"));
    logManager->addLineWithTimestamp(
        l2tp ? QStringLiteral("L2TP Connected") : QStringLiteral("PPTP Connected"));
    lastIn = 0;
    lastOut = 0;
    emit q->stateChanged(VpnConnection::Connected);
}

void RasDialerImplPrivate::stopAll()
{
    closing = true;
    statsTimer->stop();
    controlTimer->stop();
    stopProcess();
    stopIpsec();
    phonebook.removeAll();
    interface.clear();
    stage = Idle;
    closing = false;
}

void RasDialerImplPrivate::stopProcess()
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        QElapsedTimer clock;
        clock.start();
        while (process->state() != QProcess::NotRunning && !process->waitForFinished(PollInterval)) {
            if (clock.elapsed() >= TerminateTimeout) {
                log(QStringLiteral("%1 did not stop on SIGTERM; killing it").arg(process->program()));
                process->kill();
                process->waitForFinished(TerminateTimeout);
                break;
            }
        }
    }
    readOutput();
    if (const QByteArray rest = process->readAll().trimmed(); !rest.isEmpty())
        handleLine(QString::fromUtf8(rest));
    QObject::disconnect(process, nullptr, q, nullptr);
    process->deleteLater();
    process = nullptr;
}

void RasDialerImplPrivate::stopIpsec()
{
    if (!ipsecStarted)
        return;
    ipsecStarted = false;
    runIpsec({ QStringLiteral("down"), PRODUCT_NAME });
    runIpsec({ QStringLiteral("stop") });
}

// Only where the attempt ends, on the worker thread: nothing waits on it but the dialer.
void RasDialerImplPrivate::runIpsec(const QStringList &arguments)
{
    QProcess command;
    command.setProcessChannelMode(QProcess::MergedChannels);
    command.setProcessEnvironment(environment());
    command.start(ipsec, arguments);
    if (!command.waitForFinished(IpsecStopTimeout)) {
        command.kill();
        command.waitForFinished(IpsecStopTimeout);
    }
    const QList<QByteArray> lines = command.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (!line.trimmed().isEmpty())
            log(line.trimmed());
    }
}

void RasDialerImplPrivate::endAttempt(const QString &errorMessage)
{
    if (stage == Idle)
        return;
    const bool wasUp = stage == Up;
    stopAll();
    if (wasUp) {
        log(QByteArrayLiteral("The connection has ended"));
    } else {
        log(QStringLiteral("RasDial() failed: %1").arg(errorMessage));
        emit q->connectionError(server, configuration, errorMessage);
    }
    emit q->stateChanged(VpnConnection::Disconnected);
}

RasDialerImpl::RasDialerImpl(LogManager *logManager)
    : d(new RasDialerImplPrivate)
{
    d->q = this;
    d->logManager = logManager;
    d->statsTimer = new QTimer(this);
    d->statsTimer->setInterval(StatsInterval);
    connect(d->statsTimer, &QTimer::timeout, this, &RasDialerImpl::updateConnectionStats);
    d->controlTimer = new QTimer(this);
    d->controlTimer->setInterval(PollInterval);
    connect(d->controlTimer, &QTimer::timeout, this, [this] { d->writeControl(); });
}

RasDialerImpl::~RasDialerImpl()
{
    // The log may be gone already.
    d->logManager = nullptr;
    d->stopAll();
}

void RasDialerImpl::setDialParameters(const VpnServer &server, const VpnConfiguration &configuration)
{
    QMutexLocker locker(&d->mutex);
    d->pendingServer = server;
    d->pendingConfiguration = configuration;
}

void RasDialerImpl::dialInternal()
{
    d->log(QByteArrayLiteral("RasDial() called"));
    if (d->stage != RasDialerImplPrivate::Idle) {
        d->log(d->stage == RasDialerImplPrivate::Up
                ? QByteArrayLiteral("RasDial() dropped: already connected")
                : QByteArrayLiteral("RasDial() dropped: a dial is in progress"));
        return;
    }
    {
        QMutexLocker locker(&d->mutex);
        d->server = d->pendingServer;
        d->configuration = d->pendingConfiguration;
    }
    d->l2tp = d->configuration.protocol() == Vpn::L2tp;
    d->error.clear();
    d->interface.clear();
    d->stage = RasDialerImplPrivate::Dialing;
    emit stateChanged(VpnConnection::Connecting);

    const Vpn::Protocol protocol = d->configuration.protocol();
    if (protocol != Vpn::Pptp && protocol != Vpn::L2tp) {
        d->endAttempt(tr("%1 is not dialled with pppd.").arg(Vpn::GetProtocolDisplayName(protocol)));
        return;
    }
    const QString invalid = RasPhonebook::check(d->server, d->configuration);
    if (!invalid.isEmpty()) {
        d->endAttempt(invalid);
        return;
    }
    if (!d->findPrograms())
        return;

    d->phonebook.removeAll();
    const bool withIpsec = d->l2tp && !d->ipsec.isEmpty() && !d->configuration.preSharedKey().isEmpty();
    if (d->l2tp && d->ipsec.isEmpty())
        d->log(QByteArrayLiteral("strongSwan's ipsec is not installed (Debian package strongswan): "
                                 "L2TP runs without IPsec"));
    else if (d->l2tp && !withIpsec)
        d->log(QByteArrayLiteral("No pre-shared key: L2TP runs without IPsec"));
    if (!withIpsec)
        d->ipsec.clear();

    const bool written = d->phonebook.writePeer(d->server, d->configuration, d->pptp, !withIpsec)
        && (!d->l2tp || d->phonebook.writeXl2tpdConfig(d->server));
    if (!written) {
        d->endAttempt(tr("The connection settings could not be written: %1").arg(d->phonebook.errorString()));
        return;
    }
    if (withIpsec)
        d->startIpsec();
    else
        d->startDialing();
}

void RasDialerImpl::hangUpInternal()
{
    d->log(QByteArrayLiteral("RasRangUp() called"));
    if (d->stage == RasDialerImplPrivate::Idle)
        return;
    emit stateChanged(VpnConnection::Disconnecting);
    d->stopAll();
    d->log(QByteArrayLiteral("RasHangUp() succeeded"));
    emit stateChanged(VpnConnection::Disconnected);
}

void RasDialerImpl::updateConnectionStats()
{
    if (d->interface.isEmpty())
        return;
    if (d->stage == RasDialerImplPrivate::Dialing) {
        if (hasAddress(d->interface))
            d->setConnected();
        return;
    }
    if (d->stage != RasDialerImplPrivate::Up)
        return;
    qint64 in = 0;
    qint64 out = 0;
    if (!readCounter(d->interface, QStringLiteral("rx_bytes"), &in)
        || !readCounter(d->interface, QStringLiteral("tx_bytes"), &out))
        return;
    // A counter that went back belongs to a new interface of the same name.
    const qint64 inDelta = in >= d->lastIn ? in - d->lastIn : in;
    const qint64 outDelta = out >= d->lastOut ? out - d->lastOut : out;
    d->lastIn = in;
    d->lastOut = out;
    emit byteCount(inDelta, outDelta);
}
