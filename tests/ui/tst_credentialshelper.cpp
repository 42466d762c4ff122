#include "context.h"
#include "credentialshelper.h"
#include "testhome.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

// The credentials sheet of a new trial account: its box of '#', and where and how it
// is written. xdg-user-dir is a stand-in that answers as NOXEL_TEST_DESKTOP says.

namespace {

const QString Website = u"https://noxel.invalid/"_s;

int fileMode(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestCredentialsHelper : public QObject
{
    Q_OBJECT

public:
    explicit TestCredentialsHelper(const TestHome &home)
        : home(home)
    {
    }

private slots:
    void initTestCase();
    void init();

    void sheet_data();
    void sheet();
    void save_data();
    void save();
    void saveReplacesEarlierSheet();
    void document();

private:
    // Saves and waits for the end; `message` gets the text the user was shown.
    QString saveAndWait(const QString &username, const QString &password, QString *message);

    const TestHome &home;
    QString standIns;
    QByteArray path;
    Context context;
    QWidget window;
};

void TestCredentialsHelper::initTestCase()
{
    QVERIFY(home.isValid());
    standIns = home.path() + u"/bin"_s;
    QVERIFY(QDir().mkpath(standIns));
    QFile script(standIns + u"/xdg-user-dir"_s);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n"
                 "[ \"$1\" = DESKTOP ] || exit 2\n"
                 "case \"$NOXEL_TEST_DESKTOP\" in\n"
                 "    fail) exit 1 ;;\n"
                 "    hang) exec sleep 60 ;;\n"
                 "    *) printf '%s\\n' \"$NOXEL_TEST_DESKTOP\" ;;\n"
                 "esac\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    path = QFile::encodeName(standIns) + ':' + qgetenv("PATH");
    context.setLinks({ { u"home"_s, Website } });
}

void TestCredentialsHelper::init()
{
    qputenv("PATH", path);
    qunsetenv("NOXEL_TEST_DESKTOP");
    QFile::remove(home.path() + u"/Noxel Login.txt"_s);
    for (const QString &desktop : { u"/Arbeitsfläche"_s, u"/Desktop"_s })
        QDir(home.path() + desktop).removeRecursively();
}

void TestCredentialsHelper::sheet_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("website");
    QTest::addColumn<QStringList>("lines");

    // The title is wider than the credentials: they are centred under it.
    QTest::newRow("title widest") << u"trial7"_s << u"pw7"_s << Website
                                  << QStringList {
                                         u"###########################################################"_s,
                                         u"#                                                         #"_s,
                                         u"#  Your Noxel Login Credentials - Please keep them save!  #"_s,
                                         u"#                                                         #"_s,
                                         u"###########################################################"_s,
                                         u"#                                                         #"_s,
                                         u"#                                                         #"_s,
                                         u"#           Username:    trial7                           #"_s,
                                         u"#           Password:    pw7                              #"_s,
                                         u"#                                                         #"_s,
                                         u"#            Website:    https://noxel.invalid/           #"_s,
                                         u"#                                                         #"_s,
                                         u"#                                                         #"_s,
                                         u"###########################################################"_s,
                                         u"#########################  Noxel  #########################"_s,
                                         u"###########################################################"_s,
                                     };
    // A long value widens the box; the title keeps to the right.
    QTest::newRow("value widest")
        << u"demo"_s << u"0123456789"_s.repeated(5) << Website
        << QStringList {
               u"#####################################################################"_s,
               u"#                                                                   #"_s,
               u"#            Your Noxel Login Credentials - Please keep them save!  #"_s,
               u"#                                                                   #"_s,
               u"#####################################################################"_s,
               u"#                                                                   #"_s,
               u"#                                                                   #"_s,
               u"#  Username:    demo                                                #"_s,
               u"#  Password:    01234567890123456789012345678901234567890123456789  #"_s,
               u"#                                                                   #"_s,
               u"#   Website:    https://noxel.invalid/                              #"_s,
               u"#                                                                   #"_s,
               u"#                                                                   #"_s,
               u"#####################################################################"_s,
               u"##############################  Noxel  ##############################"_s,
               u"#####################################################################"_s,
           };
    // One space to spare: the indent rounds down, the spare space goes to the right.
    QTest::newRow("odd margin") << u"x"_s.repeated(39) << u"p"_s << u"w"_s
                                << QStringList {
                                       u"###########################################################"_s,
                                       u"#                                                         #"_s,
                                       u"#  Your Noxel Login Credentials - Please keep them save!  #"_s,
                                       u"#                                                         #"_s,
                                       u"###########################################################"_s,
                                       u"#                                                         #"_s,
                                       u"#                                                         #"_s,
                                       u"#  Username:    xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx   #"_s,
                                       u"#  Password:    p                                         #"_s,
                                       u"#                                                         #"_s,
                                       u"#   Website:    w                                         #"_s,
                                       u"#                                                         #"_s,
                                       u"#                                                         #"_s,
                                       u"###########################################################"_s,
                                       u"#########################  Noxel  #########################"_s,
                                       u"###########################################################"_s,
                                   };
}

void TestCredentialsHelper::sheet()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, website);
    QFETCH(QStringList, lines);

    const QString text = CredentialsHelper::sheet(username, password, website);
    QVERIFY(text.endsWith(u'\n'));
    QCOMPARE(text.chopped(1).split(u'\n'), lines);
}

QString TestCredentialsHelper::saveAndWait(const QString &username, const QString &password, QString *message)
{
    CredentialsHelper helper(&context, &window);
    QSignalSpy saved(&helper, &CredentialsHelper::saved);
    helper.save(username, password);
    if (!saved.wait(10000))
        return u"(no end)"_s;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows) {
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible()) {
            *message = box->text();
            box->close();
        }
    }
    QTest::qWait(0);
    return saved.at(0).at(0).toString();
}

void TestCredentialsHelper::save_data()
{
    // What xdg-user-dir answers: a folder in the home folder (empty: the home folder
    // itself), or "fail", "hang", "relative"; "-" when there is no xdg-user-dir.
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("onDesktop");

    QTest::newRow("desktop folder") << u"Arbeitsfläche"_s << true;
    QTest::newRow("desktop folder missing") << u"Nowhere"_s << false;
    QTest::newRow("home folder named") << QString() << false;
    QTest::newRow("relative name") << u"relative"_s << false;
    QTest::newRow("xdg-user-dir fails") << u"fail"_s << false;
    QTest::newRow("xdg-user-dir hangs") << u"hang"_s << false;
    QTest::newRow("no xdg-user-dir") << u"-"_s << false;
}

void TestCredentialsHelper::save()
{
    QFETCH(QString, answer);
    QFETCH(bool, onDesktop);

    const QString desktop = home.path() + u"/Arbeitsfläche"_s;
    QVERIFY(QDir().mkpath(desktop));
    if (answer == u"-"_s)
        qputenv("PATH", QFile::encodeName(home.path() + u"/empty"_s));
    else if (answer == u"fail"_s || answer == u"hang"_s || answer == u"relative"_s)
        qputenv("NOXEL_TEST_DESKTOP", answer.toUtf8());
    else if (answer.isEmpty())
        qputenv("NOXEL_TEST_DESKTOP", QFile::encodeName(home.path()));
    else
        qputenv("NOXEL_TEST_DESKTOP", QFile::encodeName(home.path() + u'/' + answer));

    QString message;
    const QString saved = saveAndWait(u"trial7"_s, u"pw 7"_s, &message);
    const QString folder = onDesktop ? desktop : home.path();
    const QString expected = folder + u"/Noxel Login.txt"_s;
    QCOMPARE(saved, expected);
    QCOMPARE(readFile(expected), CredentialsHelper::sheet(u"trial7"_s, u"pw 7"_s, Website));
    QCOMPARE(fileMode(expected), 0600);
    QCOMPARE(message,
        onDesktop ? u"The login credentials have been saved in the file Noxel Login.txt on your desktop."_s
                  : u"The login credentials have been saved in the file Noxel Login.txt in your home "
                    "folder."_s);
    // Nothing else was written: no sheet in the other folder, no temporary file left.
    const QStringList sheets { u"*Login*"_s };
    QCOMPARE(QDir(desktop).entryList(sheets, QDir::Files | QDir::Hidden).size(), onDesktop ? 1 : 0);
    QCOMPARE(QDir(home.path()).entryList(sheets, QDir::Files | QDir::Hidden).size(), onDesktop ? 0 : 1);
}

void TestCredentialsHelper::saveReplacesEarlierSheet()
{
    const QString desktop = home.path() + u"/Desktop"_s;
    QVERIFY(QDir().mkpath(desktop));
    qputenv("NOXEL_TEST_DESKTOP", QFile::encodeName(desktop));
    const QString expected = desktop + u"/Noxel Login.txt"_s;
    // A sheet from before, readable by everybody.
    QFile old(expected);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(4000, 'o'));
    old.close();
    QVERIFY(old.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));

    for (const QString &password : { u"first password"_s, u"second"_s }) {
        QString message;
        QCOMPARE(saveAndWait(u"trial7"_s, password, &message), expected);
        QCOMPARE(readFile(expected), CredentialsHelper::sheet(u"trial7"_s, password, Website));
        QCOMPARE(fileMode(expected), 0600);
        QCOMPARE(QDir(desktop).entryList(QDir::Files | QDir::Hidden), QStringList { u"Noxel Login.txt"_s });
    }
}

void TestCredentialsHelper::document()
{
    // A value that looks like a placeholder or like markup stays as typed.
    const QString html = CredentialsHelper::document(u"<b>__PASSWORD__</b>"_s, u"p&w"_s, Website);
    QVERIFY(html.contains(u"Noxel Login Credentials"_s));
    QVERIFY(html.contains(u"&lt;b&gt;__PASSWORD__&lt;/b&gt;"_s));
    QVERIFY(html.contains(u"p&amp;w"_s));
    QVERIFY(html.contains(Website));
    for (const QString &label : { u"Username"_s, u"Password"_s, u"Website"_s })
        QVERIFY2(html.contains(u"<b>"_s + label), qPrintable(label));
    QCOMPARE(html.count(u"__"_s), 2);
}

NOXEL_APP_TEST_MAIN(TestCredentialsHelper)

#include "tst_credentialshelper.moc"
