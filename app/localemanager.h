#pragma once

#include <QObject>
#include <QString>

#include <memory>

class LocaleManagerPrivate;

// Picks the interface language, loads its catalogues and switches on request.
class LocaleManager : public QObject
{
    Q_OBJECT

public:
    LocaleManager();
    ~LocaleManager() override;

    // The start-up choice: the stored language, or the system's.
    void initialize();
    QString language() const;
    void setLanguage(const QString &code);
    QString countryCode() const;
    // Catalogues installed right now; none for English.
    int translatorCount() const;

signals:
    void languageChanged();

private:
    std::unique_ptr<LocaleManagerPrivate> d;
};
