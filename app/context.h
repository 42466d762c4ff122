#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

class ContextPrivate;

// What the provider's API has told the client: variables, texts and links.
// Core fills it; everyone else reads. Safe to use from any thread.
class Context : public QObject
{
    Q_OBJECT

public:
    using Texts = QHash<QString, QHash<QString, QString>>;

    Context();
    ~Context() override;

    void setLinks(const QHash<QString, QString> &links);
    void setTexts(const Texts &texts);
    void setVariables(const QHash<QString, QVariant> &variables);

    // True once the provider has answered at least once.
    bool isValid() const;

    bool boolVariable(const QString &key, bool defaultValue) const;
    int intVariable(const QString &key, int defaultValue) const;
    QString stringVariable(const QString &key) const;

    QString link(const QString &name) const;
    // The text in the language of the default locale; empty when there is none.
    QString text(const QString &name) const;

private:
    std::unique_ptr<ContextPrivate> d;
};
