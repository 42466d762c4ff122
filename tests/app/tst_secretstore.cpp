#include "configuration.h"
#include "logmanager.h"
#include "secretstore.h"
#include "testhome.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// Generous: a loaded machine's keyring answers slowly, and no wait ends a test early.
constexpr int WaitMs = 60000;

} // namespace

// The password in the desktop's secret store. Run twice: by run-keyring.sh on a
// private session bus with a keyring of its own (NOXEL_TEST_KEYRING set), and
// without any session bus, where the settings file keeps the password.
class TestSecretStore : public QObject
{
    Q_OBJECT

public:
    explicit TestSecretStore(const TestHome &home)
        : home(home)
        , keyring(qEnvironmentVariableIsSet("NOXEL_TEST_KEYRING"))
    {
    }

private slots:
    void init();

    void newPassword();
    void olderVersionsPassword();
    void lateAnswer();
    void keyringFollowsLogin();
    void keyringFails();

private:
    QMap<QString, QString> stored() const { return TestHome::readIniSection(home.settingsFileName()); }
    // "file folder" in octal.
    QString modes() const;
    // What a fresh start of the program finds; "-" when its use of the store differs.
    QString passwordAfterRestart(LogManager *log) const;

    // The keyring through the Secret Service itself, under the attributes QtKeychain
    // files a password with: the service (the application's name) and the key.
    static bool secretTool(const QStringList &arguments, QString *output = nullptr);
    static QString keyringPassword(const QString &user);
    // As this version puts it there.
    static bool putIntoKeyring(const QString &user, const QString &password);
    // Lines about the secret store in the log.
    static int storeLines(const LogManager &log);

    const TestHome &home;
    const bool keyring;
};

QString TestSecretStore::modes() const
{
    const auto mode = [](const QString &path) {
        struct stat info = {};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0)
            return u"missing"_s;
        return QString::number(info.st_mode & 0777, 8);
    };
    return mode(home.settingsFileName()) + u' ' + mode(QFileInfo(home.settingsFileName()).absolutePath());
}

QString TestSecretStore::passwordAfterRestart(LogManager *log) const
{
    SecretStore store(log);
    Configuration configuration;
    if (configuration.useSecretStore(&store, WaitMs) != keyring)
        return u"-"_s;
    return configuration.password();
}

bool TestSecretStore::secretTool(const QStringList &arguments, QString *output)
{
    QProcess tool;
    tool.start(u"secret-tool"_s, arguments);
    if (!tool.waitForFinished(WaitMs) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return false;
    if (output)
        *output = QString::fromUtf8(tool.readAllStandardOutput());
    return true;
}

// Null when the keyring holds nothing for the user.
QString TestSecretStore::keyringPassword(const QString &user)
{
    QString password;
    secretTool({ u"lookup"_s, u"server"_s, QCoreApplication::applicationName(), u"user"_s, user }, &password);
    return password;
}

bool TestSecretStore::putIntoKeyring(const QString &user, const QString &password)
{
    LogManager log(nullptr, nullptr);
    SecretStore store(&log);
    QSignalSpy written(&store, &SecretStore::written);
    store.write(user, password);
    return written.wait(WaitMs);
}

int TestSecretStore::storeLines(const LogManager &log)
{
    return QString::fromUtf8(log.data(LogManager::GenericLevel)).count(u"secret store"_s);
}

void TestSecretStore::init()
{
    home.clearSettings();
    if (!keyring)
        return;
    for (const QString &user : { u"alice"_s, u"bob"_s }) {
        secretTool({ u"clear"_s, u"server"_s, QCoreApplication::applicationName(), u"user"_s, user });
        QVERIFY(keyringPassword(user).isNull());
    }
}

void TestSecretStore::newPassword()
{
    LogManager log(nullptr, nullptr);
    {
        SecretStore store(&log);
        Configuration configuration;
        QCOMPARE(configuration.useSecretStore(&store, WaitMs), keyring);

        configuration.setCredentials(u"alice"_s, u"s3cret"_s);

        QCOMPARE(configuration.password(), u"s3cret"_s);
        QCOMPARE(stored().value(u"username"_s), u"alice"_s);
        if (keyring) {
            QTRY_COMPARE_WITH_TIMEOUT(keyringPassword(u"alice"_s), u"s3cret"_s, WaitMs);
            QTRY_VERIFY_WITH_TIMEOUT(!stored().contains(u"password"_s), WaitMs);
        } else {
            QCOMPARE(stored().value(u"password"_s), u"s3cret"_s);
        }
        QCOMPARE(modes(), u"600 700"_s);
    }
    QCOMPARE(passwordAfterRestart(&log), u"s3cret"_s);
    // Without a store each start says so once; with one, nothing.
    QTRY_COMPARE(storeLines(log), keyring ? 0 : 2);
}

void TestSecretStore::olderVersionsPassword()
{
    // An older version kept the password in a file anyone could read...
    home.writeSettings({ u"username=alice"_s, u"password=0ld-pass"_s });
    QVERIFY(QFile::setPermissions(
        home.settingsFileName(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    // ...and, run after a newer one, a password the keyring has kept since.
    if (keyring)
        QVERIFY(putIntoKeyring(u"alice"_s, u"stale"_s));
    LogManager log(nullptr, nullptr);
    {
        SecretStore store(&log);
        Configuration configuration;
        QCOMPARE(modes(), u"600 700"_s);

        QCOMPARE(configuration.useSecretStore(&store, WaitMs), keyring);

        QCOMPARE(configuration.password(), u"0ld-pass"_s);
        if (keyring) {
            QTRY_VERIFY_WITH_TIMEOUT(!stored().contains(u"password"_s), WaitMs);
            QCOMPARE(keyringPassword(u"alice"_s), u"0ld-pass"_s);
        } else {
            QCOMPARE(stored().value(u"password"_s), u"0ld-pass"_s);
        }
        QCOMPARE(stored().value(u"username"_s), u"alice"_s);
        QCOMPARE(modes(), u"600 700"_s);
    }
    QCOMPARE(passwordAfterRestart(&log), u"0ld-pass"_s);
}

void TestSecretStore::lateAnswer()
{
    // As this version leaves it: the user name in the file, the password in the keyring.
    home.writeSettings({ u"username=alice"_s });
    if (keyring)
        QVERIFY(putIntoKeyring(u"alice"_s, u"k3y"_s));
    LogManager log(nullptr, nullptr);
    SecretStore store(&log);
    Configuration configuration;
    QSignalSpy changed(&configuration, &Configuration::changed);

    QVERIFY(!configuration.useSecretStore(&store, 0));
    QVERIFY(!configuration.hasCredentials());

    if (keyring) {
        QTRY_COMPARE_WITH_TIMEOUT(configuration.password(), u"k3y"_s, WaitMs);
        QCOMPARE(changed.count(), 1);
        QVERIFY(!stored().contains(u"password"_s));
    } else {
        // No wait, then no store: the settings file keeps what the user enters.
        QTRY_COMPARE_WITH_TIMEOUT(storeLines(log), 2, WaitMs);
        configuration.setCredentials(u"alice"_s, u"typed"_s);
        QCOMPARE(stored().value(u"password"_s), u"typed"_s);
        QCOMPARE(changed.count(), 1);
    }
}

void TestSecretStore::keyringFollowsLogin()
{
    if (!keyring)
        QSKIP("needs a keyring of its own: run through run-keyring.sh");
    LogManager log(nullptr, nullptr);
    SecretStore store(&log);
    Configuration configuration;
    QVERIFY(configuration.useSecretStore(&store, WaitMs));
    configuration.setCredentials(u"alice"_s, u"s3cret"_s);
    QTRY_COMPARE_WITH_TIMEOUT(keyringPassword(u"alice"_s), u"s3cret"_s, WaitMs);

    // A login not to be saved leaves the keyring too; the running program keeps it.
    configuration.setSaveCredentials(false);
    QTRY_VERIFY_WITH_TIMEOUT(keyringPassword(u"alice"_s).isNull(), WaitMs);
    QVERIFY(!stored().contains(u"username"_s));
    QVERIFY(!stored().contains(u"password"_s));
    QCOMPARE(configuration.password(), u"s3cret"_s);

    configuration.setSaveCredentials(true);
    QTRY_COMPARE_WITH_TIMEOUT(keyringPassword(u"alice"_s), u"s3cret"_s, WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!stored().contains(u"password"_s), WaitMs);

    // Another account's password replaces the first one's.
    configuration.setCredentials(u"bob"_s, u"hunter2"_s);
    QTRY_COMPARE_WITH_TIMEOUT(keyringPassword(u"bob"_s), u"hunter2"_s, WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(keyringPassword(u"alice"_s).isNull(), WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!stored().contains(u"password"_s), WaitMs);
    QCOMPARE(stored().value(u"username"_s), u"bob"_s);
    QCOMPARE(passwordAfterRestart(&log), u"hunter2"_s);
}

// Last: the keyring stays locked, as no one is there to type its password.
void TestSecretStore::keyringFails()
{
    if (!keyring)
        QSKIP("needs a keyring of its own: run through run-keyring.sh");
    LogManager log(nullptr, nullptr);
    SecretStore store(&log);
    Configuration configuration;
    QVERIFY(configuration.useSecretStore(&store, WaitMs));
    configuration.setCredentials(u"alice"_s, u"s3cret"_s);
    QTRY_VERIFY_WITH_TIMEOUT(!stored().contains(u"password"_s), WaitMs);

    // The user locks the keyring while the program runs (a bare call: QDBusInterface
    // would keep what it learns of the service until the end).
    QDBusMessage lock = QDBusMessage::createMethodCall(u"org.freedesktop.secrets"_s,
        u"/org/freedesktop/secrets"_s, u"org.freedesktop.Secret.Service"_s, u"Lock"_s);
    lock << QVariant::fromValue(
        QList<QDBusObjectPath> { QDBusObjectPath(u"/org/freedesktop/secrets/collection/login"_s) });
    const QDBusMessage reply = QDBusConnection::sessionBus().call(lock);
    QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
    configuration.setCredentials(u"bob"_s, u"hunter2"_s);

    // The settings file keeps the new password, and says so once.
    QTRY_COMPARE_WITH_TIMEOUT(storeLines(log), 1, WaitMs);
    QCOMPARE(stored().value(u"username"_s), u"bob"_s);
    QCOMPARE(stored().value(u"password"_s), u"hunter2"_s);
    QCOMPARE(modes(), u"600 700"_s);
    QCOMPARE(configuration.password(), u"hunter2"_s);
}

NOXEL_APP_TEST_MAIN(TestSecretStore)

#include "tst_secretstore.moc"
