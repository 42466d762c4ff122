#pragma once

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class QXmlStreamReader;
class CountryData;

// A country by its two-letter code and its name.
class Country
{
public:
    Country();
    Country(const Country &other);
    Country &operator=(const Country &other);
    ~Country();

    bool isNull() const;
    QString code() const;
    QString name() const;

    void setCode(const QString &code);
    void setName(const QString &name);

    // Reads the "code" attribute and the name as text; a code that is not two
    // letters leaves the country null.
    static Country fromXml(QXmlStreamReader &reader);

private:
    QSharedDataPointer<CountryData> d;
};

Q_DECLARE_METATYPE(Country)
