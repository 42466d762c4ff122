// SingleApplication between real processes: a stand-in program (singleapp_probe)
// around it plays the first and the later instances.

#include "childprocess.h"
#include "instanceclient.h"
#include "sandbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Probe = QStringLiteral(NOXEL_PROBE);
const QString Key = QStringLiteral("NoxelTest");
const uid_t Nobody = 65534;
const gid_t NoGroup = 65534;

qint64 monotonicNow()
{
    QElapsedTimer now;
    now.start();
    return now.msecsSinceReference();
}

// What a first instance received, in order.
QByteArrayList messages(const ChildProcess &probe)
{
    QByteArrayList decoded;
    const QByteArrayList values = probe.values("message");
    for (const QByteArray &hex : values)
        decoded << QByteArray::fromHex(hex);
    return decoded;
}

std::unique_ptr<ChildProcess> startProbe(
    const QProcessEnvironment &environment, const QStringList &arguments = {})
{
    auto probe = std::make_unique<ChildProcess>(environment);
    probe->start(Probe, QStringList { Key } + arguments);
    return probe;
}

std::unique_ptr<ChildProcess> startProbe(const Sandbox &sandbox, const QStringList &arguments = {})
{
    return startProbe(sandbox.environment(), arguments);
}

// The probe run as nobody, as a user of the machine other than the test's.
std::unique_ptr<ChildProcess> startNobodysProbe(
    const QProcessEnvironment &environment, const QStringList &arguments = {})
{
    auto probe = std::make_unique<ChildProcess>(environment);
    probe->start(QStringLiteral("setpriv"),
        QStringList { QStringLiteral("--reuid=%1").arg(Nobody), QStringLiteral("--regid=%1").arg(NoGroup),
            QStringLiteral("--clear-groups"), QStringLiteral("--"), Probe, Key }
            + arguments);
    return probe;
}

// Sends a message on a connection of its own and waits for the first instance to
// report it.
bool deliver(ChildProcess &first, const QString &socketPath, const QByteArray &message)
{
    InstanceClient client(socketPath);
    if (!client.connectToInstance() || !client.send(message))
        return false;
    client.close();
    return first.waitForLine("message " + message.toHex(), 3000);
}

bool deliver(ChildProcess &first, const Sandbox &sandbox, const QByteArray &message)
{
    return deliver(first, sandbox.socketPath(Key), message);
}

// Connects to the socket as nobody and writes the message, which an instance that
// refuses the peer may cut short: 0 when the socket was reached, 1 when it was not,
// 2 on any other failure.
int sendAsNobody(const QString &socketPath, const QByteArray &message)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath);
    if (size_t(path.size()) >= sizeof(address.sun_path))
        return 2;
    std::copy(path.begin(), path.end(), address.sun_path);
    const pid_t child = ::fork();
    if (child < 0)
        return 2;
    if (child == 0) {
        // Only system calls from here on: this is a copy of a threaded process.
        if (::setgroups(0, nullptr) != 0 || ::setgid(NoGroup) != 0 || ::setuid(Nobody) != 0)
            ::_exit(2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0)
            ::_exit(1);
        ::send(fd, message.constData(), size_t(message.size()), MSG_NOSIGNAL);
        ::close(fd);
        ::_exit(0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return 2;
    return WEXITSTATUS(status);
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestSingleApplication : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firstStartListensForItsUserOnly();
    void secondStartHandsMessageOver_data();
    void secondStartHandsMessageOver();
    void connectionsOfRawClients_data();
    void connectionsOfRawClients();
    void nextStartAfterFirstEndedIsFirst_data();
    void nextStartAfterFirstEndedIsFirst();
    void linkInPlaceOfTheSocketIsNotFollowed();
    void unsafeFolderIsNotUsed_data();
    void unsafeFolderIsNotUsed();
    void usersKeepTheirOwnInstances_data();
    void usersKeepTheirOwnInstances();
    void peerOfAnotherUserIsRefused();
    void elevatedCopyServesItsUser();
};

void TestSingleApplication::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(QFileInfo(Probe).isExecutable(), qPrintable(Probe));
}

void TestSingleApplication::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QProcess: Destroyed while process")));
}

void TestSingleApplication::firstStartListensForItsUserOnly()
{
    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    const auto first = startProbe(sandbox);
    QVERIFY(first->waitForLine("first", 5000));

    QVERIFY(deliver(*first, sandbox, "hello"));
    // A socket in the user's runtime folder that no other user may even open.
    struct stat status = {};
    QCOMPARE(::lstat(QFile::encodeName(sandbox.socketPath(Key)).constData(), &status), 0);
    QVERIFY(S_ISSOCK(status.st_mode));
    QCOMPARE(status.st_uid, ::geteuid());
    QCOMPARE(status.st_mode & (S_IRWXG | S_IRWXO), 0u);

    QVERIFY(deliver(*first, sandbox, "quit"));
    QVERIFY(first->waitForFinished(5000));
    QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    QCOMPARE(first->exitCode(), 0);
    QCOMPARE(messages(*first), QByteArrayList({ "hello", "quit" }));
    QVERIFY(!QFileInfo::exists(sandbox.socketPath(Key)));
}

void TestSingleApplication::secondStartHandsMessageOver_data()
{
    QTest::addColumn<QString>("message");

    QTest::newRow("plain") << QStringLiteral("PING");
    QTest::newRow("spaces and non-ASCII")
        << QStringLiteral("/home/jürgen/Mes VPN/Zürich – 東京 \U0001F680.ovpn");
    // More than one read's worth, so that the message arrives in several pieces.
    QTest::newRow("100 KiB") << QString(100 * 1024, QLatin1Char('x'));
}

void TestSingleApplication::secondStartHandsMessageOver()
{
    QFETCH(QString, message);

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    const auto first = startProbe(sandbox);
    QVERIFY(first->waitForLine("first", 5000));

    const auto second = startProbe(sandbox, { message });
    // Only a guard against a hang: a loaded machine may be slow.
    QVERIFY(second->waitForFinished(60000));
    QCOMPARE(second->lines(), QByteArrayList({ "second", "sent true" }));
    QCOMPARE(second->exitCode(), 0);

    QVERIFY(first->waitForLine("message " + message.toUtf8().toHex(), 3000));
    QVERIFY(deliver(*first, sandbox, "quit"));
    QVERIFY(first->waitForFinished(5000));
    QCOMPARE(messages(*first), QByteArrayList({ message.toUtf8(), "quit" }));
}

void TestSingleApplication::connectionsOfRawClients_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("keepOpen");
    QTest::addColumn<QByteArrayList>("expected");

    QTest::newRow("silent, closed") << QByteArrayList() << false << QByteArrayList();
    QTest::newRow("message, closed") << QByteArrayList { "closed" } << false << QByteArrayList { "closed" };
    // The pieces split the two bytes of "ü": the message is one text, decoded whole.
    QTest::newRow("message in pieces, closed")
        << QByteArrayList { "Z\xc3", "\xbcrich", " 2" } << false << QByteArrayList { "Z\xc3\xbcrich 2" };
    QTest::newRow("silent, kept open") << QByteArrayList() << true << QByteArrayList();
    QTest::newRow("message, kept open")
        << QByteArrayList { "kept open" } << true << QByteArrayList { "kept open" };
}

void TestSingleApplication::connectionsOfRawClients()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, keepOpen);
    QFETCH(QByteArrayList, expected);

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    const auto first = startProbe(sandbox);
    QVERIFY(first->waitForLine("first", 5000));

    InstanceClient client(sandbox.socketPath(Key));
    QVERIFY(client.connectToInstance());
    const qint64 connectedAt = monotonicNow();
    for (int i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            QTest::qWait(150);
        QVERIFY(client.send(pieces.at(i)));
    }

    if (keepOpen) {
        // The instance gives up on the connection after five seconds, and keeps
        // serving its window meanwhile.
        QVERIFY(client.waitForDrop(9000));
        const qint64 heldMs = client.droppedAt() - connectedAt;
        QVERIFY2(heldMs >= 4500 && heldMs <= 7000, qPrintable(QString::number(heldMs)));

        QList<qint64> times { connectedAt };
        const QByteArrayList ticks = first->values("tick");
        for (const QByteArray &tick : ticks) {
            const qint64 time = tick.toLongLong();
            if (time > connectedAt && time < client.droppedAt())
                times << time;
        }
        times << client.droppedAt();
        for (int i = 1; i < times.size(); ++i) {
            const qint64 gap = times.at(i) - times.at(i - 1);
            QVERIFY2(gap < 1000, qPrintable(QStringLiteral("no tick for %1 ms").arg(gap)));
        }
    } else {
        client.close();
    }

    // Whatever this connection gave arrives before a later message does.
    QVERIFY(deliver(*first, sandbox, "marker"));
    QByteArrayList received = messages(*first);
    received.removeOne("marker");
    QCOMPARE(received, expected);

    QVERIFY(deliver(*first, sandbox, "quit"));
    QVERIFY(first->waitForFinished(5000));
}

void TestSingleApplication::nextStartAfterFirstEndedIsFirst_data()
{
    QTest::addColumn<bool>("crash");

    QTest::newRow("normal exit") << false;
    // SIGKILL leaves the guard behind with the dead process's id in it.
    QTest::newRow("killed") << true;
}

void TestSingleApplication::nextStartAfterFirstEndedIsFirst()
{
    QFETCH(bool, crash);

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    const auto ended = startProbe(sandbox);
    QVERIFY(ended->waitForLine("first", 5000));
    if (crash) {
        ended->kill();
        QCOMPARE(ended->exitStatus(), QProcess::CrashExit);
    } else {
        QVERIFY(deliver(*ended, sandbox, "quit"));
        QVERIFY(ended->waitForFinished(5000));
        QCOMPARE(ended->exitCode(), 0);
    }

    const auto next = startProbe(sandbox);
    QVERIFY(next->waitForLine("first", 5000));

    // ...and it is a working first instance, found by the start after it.
    const auto later = startProbe(sandbox, { QStringLiteral("later") });
    QVERIFY(later->waitForFinished(10000));
    QCOMPARE(later->lines(), QByteArrayList({ "second", "sent true" }));
    QVERIFY(next->waitForLine("message " + QByteArray("later").toHex(), 3000));

    QVERIFY(deliver(*next, sandbox, "quit"));
    QVERIFY(next->waitForFinished(5000));
    QCOMPARE(next->exitCode(), 0);
}

void TestSingleApplication::linkInPlaceOfTheSocketIsNotFollowed()
{
    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    const auto first = startProbe(sandbox);
    QVERIFY(first->waitForLine("first", 5000));

    // Something else listening, of the same user: only the socket the first
    // instance made is its channel.
    QLocalServer stranger;
    QVERIFY(stranger.listen(sandbox.path() + QStringLiteral("/stranger.socket")));
    QVERIFY(QFile::remove(sandbox.socketPath(Key)));
    QVERIFY(QFile::link(stranger.fullServerName(), sandbox.socketPath(Key)));

    const auto second = startProbe(sandbox, { QStringLiteral("astray") });
    QVERIFY(second->waitForFinished(60000));
    QCOMPARE(second->lines(), QByteArrayList({ "second", "sent false" }));
    QCOMPARE(second->exitCode(), 0);
    QTest::qWait(200);
    QVERIFY(!stranger.hasPendingConnections());
    QVERIFY(messages(*first).isEmpty());
}

void TestSingleApplication::unsafeFolderIsNotUsed_data()
{
    QTest::addColumn<QString>("kind");

    // Others could take the guard, or stand in for the first instance.
    QTest::newRow("runtime folder writable by others") << QStringLiteral("writable");
    // Without a runtime folder the guard lives in the temporary folder, where anyone
    // may have made the user's folder first.
    QTest::newRow("fallback folder is a link") << QStringLiteral("link");
    QTest::newRow("fallback folder of another user") << QStringLiteral("stranger");
}

void TestSingleApplication::unsafeFolderIsNotUsed()
{
    QFETCH(QString, kind);

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    QProcessEnvironment environment = sandbox.environment();
    const QString tmp = environment.value(QStringLiteral("TMPDIR"));
    const QByteArray fallback = QFile::encodeName(tmp) + "/noxel-" + QByteArray::number(::geteuid());
    QString watched = sandbox.runtimeFolder();
    if (kind == QLatin1String("writable")) {
        QCOMPARE(::chmod(QFile::encodeName(watched).constData(), 0777), 0);
    } else {
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(watched, QFile::decodeName(fallback)));
        } else {
            if (::geteuid() != 0)
                QSKIP("Only root can make a folder of another user");
            watched = QFile::decodeName(fallback);
            QCOMPARE(::mkdir(fallback.constData(), 0700), 0);
            QCOMPARE(::chown(fallback.constData(), Nobody, NoGroup), 0);
        }
    }

    // Unguarded, both run: better than a guard someone else holds.
    const auto one = startProbe(environment);
    QVERIFY(one->waitForLine("first", 5000));
    const auto other = startProbe(environment);
    QVERIFY(other->waitForLine("first", 5000));
    QCOMPARE(entries(watched), QStringList());
}

void TestSingleApplication::usersKeepTheirOwnInstances_data()
{
    QTest::addColumn<bool>("runtimeFolders");

    QTest::newRow("own runtime folders") << true;
    QTest::newRow("no runtime folders") << false;
}

void TestSingleApplication::usersKeepTheirOwnInstances()
{
    QFETCH(bool, runtimeFolders);

    if (::geteuid() != 0)
        QSKIP("Only root can start programs as another user");
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("setpriv is not installed");

    Sandbox mine;
    Sandbox theirs;
    QVERIFY(mine.isValid() && theirs.isValid());
    QVERIFY(theirs.giveTo(Nobody, NoGroup));
    // One temporary folder for everybody, as /tmp is.
    QTemporaryDir shared;
    QVERIFY(shared.isValid());
    QCOMPARE(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    QProcessEnvironment myEnvironment = mine.environment();
    QProcessEnvironment theirEnvironment = theirs.environment();
    QString mySocket = mine.socketPath(Key);
    QString theirSocket = theirs.socketPath(Key);
    for (QProcessEnvironment *environment : { &myEnvironment, &theirEnvironment })
        environment->insert(QStringLiteral("TMPDIR"), shared.path());
    if (!runtimeFolders) {
        myEnvironment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        theirEnvironment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        mySocket = shared.path() + QStringLiteral("/noxel-0/") + Key + QStringLiteral(".socket");
        theirSocket
            = shared.path() + QStringLiteral("/noxel-%1/").arg(Nobody) + Key + QStringLiteral(".socket");
    }

    const auto myFirst = startProbe(myEnvironment);
    QVERIFY(myFirst->waitForLine("first", 5000));
    const auto theirFirst = startNobodysProbe(theirEnvironment);
    QVERIFY(theirFirst->waitForLine("first", 5000));

    const auto mySecond = startProbe(myEnvironment, { QStringLiteral("mine") });
    const auto theirSecond = startNobodysProbe(theirEnvironment, { QStringLiteral("theirs") });
    QVERIFY(mySecond->waitForFinished(60000));
    QVERIFY(theirSecond->waitForFinished(60000));
    QCOMPARE(mySecond->lines(), QByteArrayList({ "second", "sent true" }));
    QCOMPARE(theirSecond->lines(), QByteArrayList({ "second", "sent true" }));

    QVERIFY(myFirst->waitForLine("message " + QByteArray("mine").toHex(), 3000));
    QVERIFY(theirFirst->waitForLine("message " + QByteArray("theirs").toHex(), 3000));
    QVERIFY(deliver(*myFirst, mySocket, "quit"));
    QVERIFY(deliver(*theirFirst, theirSocket, "quit"));
    QVERIFY(myFirst->waitForFinished(5000));
    QVERIFY(theirFirst->waitForFinished(5000));
    QCOMPARE(messages(*myFirst), QByteArrayList({ "mine", "quit" }));
    QCOMPARE(messages(*theirFirst), QByteArrayList({ "theirs", "quit" }));
}

void TestSingleApplication::peerOfAnotherUserIsRefused()
{
    if (::geteuid() != 0)
        QSKIP("Only root can connect as another user");

    Sandbox sandbox;
    QVERIFY(sandbox.isValid());
    // Folders others may pass through and a socket anyone may open: what the first
    // instance still has is the check of who is at the other end.
    QVERIFY(QFile::setPermissions(sandbox.path(),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
    QCOMPARE(::chmod(QFile::encodeName(sandbox.runtimeFolder()).constData(), 0755), 0);
    const auto first = startProbe(sandbox);
    QVERIFY(first->waitForLine("first", 5000));
    QCOMPARE(::chmod(QFile::encodeName(sandbox.socketPath(Key)).constData(), 0777), 0);

    QCOMPARE(sendAsNobody(sandbox.socketPath(Key), "intruder"), 0);
    QVERIFY(deliver(*first, sandbox, "marker"));
    QVERIFY(deliver(*first, sandbox, "quit"));
    QVERIFY(first->waitForFinished(5000));
    QCOMPARE(messages(*first), QByteArrayList({ "marker", "quit" }));
}

void TestSingleApplication::elevatedCopyServesItsUser()
{
    if (::geteuid() != 0)
        QSKIP("Only root can start programs as another user");
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("setpriv is not installed");

    // The copy relaunched with root's rights keeps the user's environment, runtime
    // folder included, and stays the instance the user's later starts find.
    Sandbox theirs;
    QVERIFY(theirs.isValid());
    QVERIFY(theirs.giveTo(Nobody, NoGroup));
    const auto elevated = startProbe(theirs);
    QVERIFY(elevated->waitForLine("first", 5000));

    const auto later = startNobodysProbe(theirs.environment(), { QStringLiteral("theirs") });
    QVERIFY(later->waitForFinished(60000));
    QCOMPARE(later->lines(), QByteArrayList({ "second", "sent true" }));
    QVERIFY(elevated->waitForLine("message " + QByteArray("theirs").toHex(), 3000));
    QVERIFY(deliver(*elevated, theirs, "quit"));
    QVERIFY(elevated->waitForFinished(5000));

    // After it, the user's own start is a first instance in the same folder.
    const auto own = startNobodysProbe(theirs.environment());
    QVERIFY(own->waitForLine("first", 5000));
}

QTEST_GUILESS_MAIN(TestSingleApplication)
#include "tst_singleapplication.moc"
