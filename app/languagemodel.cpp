#include "languagemodel.h"

#include "hidpi.h"

#include <QIcon>
#include <QPixmap>

namespace {

struct Language
{
    const char *name;
    const char *code;
};

const Language languages[] = {
    {"Deutsch", "de"},
    {"English", "en"},
};

QIcon flag(const QString &code)
{
    const QString pattern = mHiDpiFixedFactor2() >= 2.0 ? QStringLiteral(":/languages/32x32_%1.png")
                                                        : QStringLiteral(":/languages/16x16_%1.png");
    QPixmap pixmap(pattern.arg(code));
    me_adapt_pixmap(pixmap, mHiDpiFixedFactor2(), 16, 16);
    return QIcon(pixmap);
}

} // namespace

LanguageModel::LanguageModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int LanguageModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(std::size(languages));
}

QVariant LanguageModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Language &language = languages[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromUtf8(language.name);
    case Qt::UserRole:
        return QString::fromLatin1(language.code);
    case Qt::DecorationRole:
        return flag(QString::fromLatin1(language.code));
    default:
        return QVariant();
    }
}
