#pragma once

#include <QMap>
#include <QString>
#include <QTemporaryDir>

// A throw-away home for one test process. Created before the application object,
// because QSettings and QStandardPaths fix their folders on first use: HOME points
// into a temporary folder, and XDG_CONFIG_HOME is the folder QStandardPaths' test
// mode uses, so the settings file and the autostart entry both land under
// $XDG_CONFIG_HOME as they do for a user. The session bus is one where nothing
// answers, so no test reaches the user's keyring.
class TestHome
{
public:
    TestHome();

    bool isValid() const;
    QString path() const;
    QString configHome() const;
    // The user's preferences file: $XDG_CONFIG_HOME/Noxel/Noxel.conf.
    QString settingsFileName() const;
    // $XDG_CONFIG_HOME/autostart/noxel.desktop.
    QString autoStartFileName() const;

    // Replaces the preferences file with raw lines of its [General] section. The file
    // gets a modification time of its own, so QSettings' cache cannot mistake it for
    // the previous contents.
    void writeSettings(const QStringList &generalLines) const;
    // Deletes the preferences file and the autostart entry.
    void clearSettings() const;
    // The [General] section of an INI file, key to raw text as stored on disk.
    static QMap<QString, QString> readIniSection(
        const QString &fileName, const QString &section = QStringLiteral("General"));

private:
    QTemporaryDir dir;
};

// main() of an application test: a temporary home, then the application named as
// the program names itself, then the test object.
#define NOXEL_APP_TEST_MAIN(TestObject)                                                                      \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        TestHome home;                                                                                       \
        if (!home.isValid()) {                                                                               \
            qCritical("cannot set up a temporary home");                                                     \
            return 1;                                                                                        \
        }                                                                                                    \
        QApplication app(argc, argv);                                                                        \
        QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));                                      \
        QCoreApplication::setApplicationName(QStringLiteral("Noxel"));                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        TestObject test(home);                                                                               \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
