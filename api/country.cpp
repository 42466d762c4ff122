#include "country.h"

#include <QXmlStreamReader>

class CountryData : public QSharedData
{
public:
    bool null = true;
    QString code;
    QString name;
};

namespace {

// The record of every null country until it is changed: a server list brings thousands
// of server records, each made with null parts that its parser then replaces.
const QSharedDataPointer<CountryData> &nullData()
{
    static const QSharedDataPointer<CountryData> data(new CountryData);
    return data;
}

} // namespace

Country::Country()
    : d(nullData())
{
}

Country::Country(const Country &other) = default;
Country &Country::operator=(const Country &other) = default;
Country::~Country() = default;

bool Country::isNull() const { return d->null; }
QString Country::code() const { return d->code; }
QString Country::name() const { return d->name; }

void Country::setCode(const QString &code)
{
    d->code = code;
    d->null = false;
}

void Country::setName(const QString &name)
{
    d->name = name;
    d->null = false;
}

Country Country::fromXml(QXmlStreamReader &reader)
{
    Country country;
    const QString code = reader.attributes().value(QLatin1String("code")).toString();
    if (code.size() == 2) {
        country.d->code = code;
        country.d->name = reader.readElementText();
        country.d->null = false;
    }
    return country;
}
