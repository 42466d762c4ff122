#include "fontawesome.h"

#include "awesomeiconpaintericonengine.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QHash>
#include <QPointer>

#include <iterator>

namespace {

struct IconName
{
    const char *name;
    int codePoint;
};

// Every icon name the built-in font publishes, aliases included.
const IconName iconNames[] = {
#include "fontawesomenames.inc"
};

} // namespace

class FontAwesomePrivate
{
public:
    QString family;
    QHash<QString, int> codePoints;
    QVariantMap defaults;
};

FontAwesome::FontAwesome(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<FontAwesomePrivate>())
{
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/FontAwesome.ttf"));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (!families.isEmpty())
        d->family = families.constFirst();

    d->codePoints.reserve(int(std::size(iconNames)));
    for (const IconName &entry : iconNames)
        d->codePoints.insert(QLatin1String(entry.name), entry.codePoint);

    d->defaults.insert(QStringLiteral("color"), QColor(50, 50, 50));
    d->defaults.insert(QStringLiteral("color-disabled"), QColor(70, 70, 70, 60));
    d->defaults.insert(QStringLiteral("color-active"), QColor(10, 10, 10));
    d->defaults.insert(QStringLiteral("color-selected"), QColor(10, 10, 10));
    d->defaults.insert(QStringLiteral("scale-factor"), 0.9);
}

FontAwesome::~FontAwesome() = default;

FontAwesome *FontAwesome::instance()
{
    static QPointer<FontAwesome> font;
    if (!font && QCoreApplication::instance())
        font = new FontAwesome(QCoreApplication::instance());
    return font;
}

QIcon FontAwesome::icon(int codePoint, const QVariantMap &options)
{
    QVariantMap merged = d->defaults;
    for (auto it = options.constBegin(); it != options.constEnd(); ++it)
        merged.insert(it.key(), it.value());
    return QIcon(new AwesomeIconPainterIconEngine(this, codePoint, merged));
}

QIcon FontAwesome::icon(const QString &name, const QVariantMap &options)
{
    const int code = codePoint(name);
    return code ? icon(code, options) : QIcon();
}

int FontAwesome::codePoint(const QString &name) const
{
    return d->codePoints.value(name);
}

QString FontAwesome::character(int codePoint)
{
    return QStringView(QChar::fromUcs4(char32_t(codePoint))).toString();
}

QFont FontAwesome::font(int pixelSize) const
{
    QFont font(d->family);
    font.setPixelSize(qMax(1, pixelSize));
    // The glyphs are pictures: hinting would shift them off centre.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}
