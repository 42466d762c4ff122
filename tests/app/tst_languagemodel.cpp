#include "languagemodel.h"
#include "testhome.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QIcon>
#include <QtTest>

class TestLanguageModel : public QObject
{
    Q_OBJECT

public:
    explicit TestLanguageModel(const TestHome &) { }

private slots:
    void modelRules();
    void rows_data();
    void rows();
    void flagsDiffer();

private:
    static QImage flagImage(const QAbstractItemModel &model, int row);
};

QImage TestLanguageModel::flagImage(const QAbstractItemModel &model, int row)
{
    const QIcon icon = model.index(row, 0).data(Qt::DecorationRole).value<QIcon>();
    return icon.pixmap(QSize(16, 16)).toImage();
}

void TestLanguageModel::modelRules()
{
    LanguageModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(static_cast<const QAbstractItemModel &>(model).columnCount(), 1);
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    QVERIFY(!model.data(model.index(0, 0), Qt::ToolTipRole).isValid());
}

void TestLanguageModel::rows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("code");
    QTest::newRow("German") << 0 << QStringLiteral("Deutsch") << QStringLiteral("de");
    QTest::newRow("English") << 1 << QStringLiteral("English") << QStringLiteral("en");
}

void TestLanguageModel::rows()
{
    QFETCH(int, row);
    QFETCH(QString, name);
    QFETCH(QString, code);

    LanguageModel model;
    const QModelIndex index = model.index(row, 0);
    QCOMPARE(index.data(Qt::DisplayRole).toString(), name);
    QCOMPARE(index.data(Qt::UserRole).toString(), code);

    const QVariant decoration = index.data(Qt::DecorationRole);
    QCOMPARE(decoration.metaType(), QMetaType::fromType<QIcon>());
    const QIcon icon = decoration.value<QIcon>();
    QVERIFY(!icon.isNull());
    QVERIFY2(
        icon.availableSizes().contains(QSize(16, 16)), qPrintable(QDebug::toString(icon.availableSizes())));
    const QImage image = flagImage(model, row);
    QCOMPARE(image.size(), QSize(16, 16));
    // A flag, not an empty square.
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            opaque += image.pixelColor(x, y).alpha() > 0 ? 1 : 0;
    }
    QVERIFY(opaque > 0);
}

void TestLanguageModel::flagsDiffer()
{
    LanguageModel model;
    QVERIFY(flagImage(model, 0) != flagImage(model, 1));
}

NOXEL_APP_TEST_MAIN(TestLanguageModel)

#include "tst_languagemodel.moc"
