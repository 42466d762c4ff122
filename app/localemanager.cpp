#include "localemanager.h"

#include <QCoreApplication>
#include <QLocale>
#include <QReadWriteLock>
#include <QRegularExpression>
#include <QSettings>
#include <QTranslator>

#include <vector>

namespace {

const QString KeyLanguage = QStringLiteral("language");
const QString English = QStringLiteral("en");

// A two-letter code of a language; "C" (the C and POSIX locales) and the like are not.
bool isLanguageCode(const QString &code)
{
    static const QRegularExpression twoLetters(QStringLiteral("^[a-z]{2}$"));
    return twoLetters.match(code).hasMatch() && QLocale(code).language() != QLocale::C;
}

} // namespace

class LocaleManagerPrivate
{
public:
    mutable QReadWriteLock lock;
    bool initialised = false;
    QString countryCode;
    QString language;
    const QStringList catalogueNames{QStringLiteral("app"), QStringLiteral("qt"), QStringLiteral("qtbase"),
                                     QStringLiteral("qtmultimedia")};
    std::vector<std::unique_ptr<QTranslator>> translators;

    void install(const QString &code)
    {
        for (const QString &name : catalogueNames) {
            auto translator = std::make_unique<QTranslator>();
            // A missing catalogue leaves the translator empty; it is installed all the same.
            (void)translator->load(QStringLiteral(":/i18n/") + name + QLatin1Char('_') + code + QStringLiteral(".qm"));
            QCoreApplication::installTranslator(translator.get());
            translators.push_back(std::move(translator));
        }
    }

    void removeAll()
    {
        for (const std::unique_ptr<QTranslator> &translator : translators)
            QCoreApplication::removeTranslator(translator.get());
        translators.clear();
    }
};

LocaleManager::LocaleManager()
    : d(new LocaleManagerPrivate)
{
}

LocaleManager::~LocaleManager()
{
    d->removeAll();
}

void LocaleManager::initialize()
{
    const QString systemName = QLocale::system().name();
    QString code = QSettings().value(KeyLanguage).toString();
    if (!isLanguageCode(code))
        code = systemName.left(2);
    if (!isLanguageCode(code))
        code = English;
    QLocale::setDefault(QLocale(code));
    {
        QWriteLocker locker(&d->lock);
        d->countryCode = systemName.mid(3);
    }
    if (code != English)
        d->install(code);
    QWriteLocker locker(&d->lock);
    d->language = code;
    d->initialised = true;
}

QString LocaleManager::language() const
{
    QReadLocker locker(&d->lock);
    return d->language;
}

QString LocaleManager::countryCode() const
{
    QReadLocker locker(&d->lock);
    return d->countryCode;
}

int LocaleManager::translatorCount() const
{
    return int(d->translators.size());
}

void LocaleManager::setLanguage(const QString &code)
{
    if (code == language())
        return;
    QLocale::setDefault(QLocale(code));
    d->removeAll();
    if (code.toLower() != English)
        d->install(code);
    QSettings().setValue(KeyLanguage, code);
    {
        QWriteLocker locker(&d->lock);
        d->language = code;
    }
    emit languageChanged();
}
