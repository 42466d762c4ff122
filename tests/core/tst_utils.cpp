#include "utils.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

// Runs without a QCoreApplication of QtTest's making: each case builds its own
// from the command line it wants the program to have been started with.
class TestUtils : public QObject
{
    Q_OBJECT

private slots:
    void extractFileNameFromArguments_data();
    void extractFileNameFromArguments();
    void writeFile_data();
    void writeFile();
    void writeFileFailure();
};

void TestUtils::extractFileNameFromArguments_data()
{
    QTest::addColumn<QStringList>("arguments"); // after the program itself
    QTest::addColumn<bool>("relativeProgram");
    QTest::addColumn<QString>("expected");

    QTest::newRow("quoted file with a space") << QStringList { QStringLiteral("\"/tmp/some file.txt\"") }
                                              << false << QStringLiteral("/tmp/some file.txt");
    QTest::newRow("plain file") << QStringList { QStringLiteral("/tmp/config.ovpn") } << false
                                << QStringLiteral("/tmp/config.ovpn");
    QTest::newRow("option") << QStringList { QStringLiteral("-l") } << false << QStringLiteral("-l");
    QTest::newRow("first of two") << QStringList { QStringLiteral("-l"), QStringLiteral("/tmp/x") } << false
                                  << QStringLiteral("-l");
    QTest::newRow("nothing") << QStringList() << false << QString();
    QTest::newRow("relative program")
        << QStringList { QStringLiteral("/tmp/a b") } << true << QStringLiteral("/tmp/a b");
    QTest::newRow("relative program alone") << QStringList() << true << QString();
}

void TestUtils::extractFileNameFromArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, relativeProgram);
    QFETCH(QString, expected);

    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString program = relativeProgram
        ? QStringLiteral("./") + QFileInfo(self.canonicalFilePath()).fileName()
        : self.canonicalFilePath();
    std::vector<QByteArray> storage { program.toLocal8Bit() };
    for (const QString &argument : std::as_const(arguments))
        storage.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    int argc = int(storage.size());

    QCoreApplication app(argc, argv.data());
    QCOMPARE(Utils::extractFileNameFromArguments(), expected);
}

void TestUtils::writeFile_data()
{
    QTest::addColumn<QByteArray>("before"); // empty: no file yet
    QTest::addColumn<QString>("text");

    QTest::newRow("new file") << QByteArray() << QStringLiteral("remote 127.0.0.1 1194\n");
    QTest::newRow("longer before") << QByteArray(4096, 'x') << QStringLiteral("short");
    QTest::newRow("non-ASCII") << QByteArray("old") << QStringLiteral("Gr\u00FC\u00DFe \u20AC \u65E5\u672C");
    QTest::newRow("empty text") << QByteArray("old contents") << QString();
}

void TestUtils::writeFile()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, text);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("file.txt"));
    if (!before.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }

    QVERIFY(Utils::writeFile(path, text));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), text.toUtf8());
}

void TestUtils::writeFileFailure()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(!Utils::writeFile(dir.filePath(QStringLiteral("missing/file.txt")), QStringLiteral("x")));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
}

QTEST_APPLESS_MAIN(TestUtils)
#include "tst_utils.moc"
