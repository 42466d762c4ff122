#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// Every #include of the product folders points at the same layer or one below:
// core <- api <- catalogue <- vpn <- app <- ui <- program. The build refuses an
// upward include already (a layer's headers are visible only above it); this test
// also names every offender at once, and keeps the order written down in one place.

using namespace Qt::StringLiterals;

namespace {

const QStringList Layers { QStringLiteral("core"), QStringLiteral("api"), QStringLiteral("catalogue"),
    QStringLiteral("vpn"), QStringLiteral("app"), QStringLiteral("ui"), QStringLiteral("program") };

// "file: header (layer)" for each include of a higher layer under `root`.
QStringList upwardIncludes(const QString &root)
{
    // Which layer holds a header; a name in several layers counts as the lowest.
    QHash<QString, int> layerOf;
    for (int layer = Layers.size() - 1; layer >= 0; --layer) {
        const QStringList headers = QDir(root + QLatin1Char('/') + Layers.at(layer)).entryList({ QStringLiteral("*.h") });
        for (const QString &header : headers)
            layerOf.insert(header, layer);
    }
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*\"([^\"]+)\""),
        QRegularExpression::MultilineOption);
    QStringList found;
    for (int layer = 0; layer < Layers.size(); ++layer) {
        const QDir folder(root + QLatin1Char('/') + Layers.at(layer));
        const QStringList files = folder.entryList({ QStringLiteral("*.h"), QStringLiteral("*.cpp") }, QDir::Files);
        for (const QString &name : files) {
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                return { QStringLiteral("cannot read ") + file.fileName() };
            const QString text = QString::fromUtf8(file.readAll());
            for (const QRegularExpressionMatch &match : include.globalMatch(text)) {
                const QString header = QFileInfo(match.captured(1)).fileName();
                const int target = layerOf.value(header, -1);
                if (target > layer && !QFile::exists(folder.filePath(header)))
                    found << QStringLiteral("%1/%2: %3 (%4)").arg(Layers.at(layer), name, header, Layers.at(target));
            }
        }
    }
    return found;
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

class TestLayers : public QObject
{
    Q_OBJECT

private slots:
    void productHasNoUpwardInclude();
    void upwardIncludeIsFound_data();
    void upwardIncludeIsFound();
};

void TestLayers::productHasNoUpwardInclude()
{
    const QString root = QStringLiteral(NOXEL_SOURCE_DIR);
    QVERIFY(QFile::exists(root + QStringLiteral("/app/core.h")));
    const QStringList found = upwardIncludes(root);
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
}

// The check itself, on small trees: it must not pass everything.
void TestLayers::upwardIncludeIsFound_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("api reaches the catalogue") << u"api/request.cpp"_s
                                               << QByteArray("#include \"request.h\"\n#include \"vpnmanager.h\"\n")
                                               << QStringList { u"api/request.cpp: vpnmanager.h (catalogue)"_s };
    QTest::newRow("app reaches a window, spaces before include")
        << u"app/core.cpp"_s << QByteArray("#  include \"mainwindow.h\"\n")
        << QStringList { u"app/core.cpp: mainwindow.h (ui)"_s };
    QTest::newRow("core reaches the program") << u"core/utils.h"_s << QByteArray("#include \"../program/main.h\"\n")
                                              << QStringList { u"core/utils.h: main.h (program)"_s };
    QTest::newRow("downward and own-layer includes") << u"ui/mainwindow.cpp"_s
                                                     << QByteArray("#include \"mainwindow.h\"\n#include \"vpnmanager.h\"\n"
                                                                   "#include \"logmanager.h\"\n#include <QWidget>\n"
                                                                   "#include \"mainwindow.moc\"\n")
                                                     << QStringList();
}

void TestLayers::upwardIncludeIsFound()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, text);
    QFETCH(QStringList, expected);

    QTemporaryDir tree;
    QVERIFY(tree.isValid());
    for (const QString &header : { u"core/logmanager.h"_s, u"core/utils.h"_s, u"api/request.h"_s,
             u"catalogue/vpnmanager.h"_s, u"app/core.h"_s, u"ui/mainwindow.h"_s, u"program/main.h"_s })
        QVERIFY(writeFile(tree.filePath(header), "#pragma once\n"));
    QVERIFY(writeFile(tree.filePath(file), text));
    QCOMPARE(upwardIncludes(tree.path()), expected);
}

QTEST_GUILESS_MAIN(TestLayers)

#include "tst_layers.moc"
