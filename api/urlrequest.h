#pragma once

#include "request.h"

#include <QHash>
#include <QUrl>

// Asks the provider for a personal web address, such as the account page.
class UrlRequest : public Request
{
    Q_OBJECT

public:
    UrlRequest(const QString &key, const QHash<QString, QString> &params);

    QString key() const;
    QHash<QString, QString> params() const;
    void writeBody(QXmlStreamWriter &writer) const override;
    bool readBody(QXmlStreamReader &reader) override;
    QUrl url() const;

private:
    QString linkKey;
    QHash<QString, QString> parameters;
    QUrl address;
};
