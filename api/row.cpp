#include "row.h"

#include "xmlanswer.h"

class RowData : public QSharedData
{
public:
    bool null = true;
    QString label;
    QString value;
};

Row::Row()
    : d(new RowData)
{
}

Row::Row(const Row &other) = default;
Row &Row::operator=(const Row &other) = default;
Row::~Row() = default;

bool Row::isNull() const { return d->null; }
QString Row::label() const { return d->label; }
QString Row::value() const { return d->value; }

void Row::setLabel(const QString &label)
{
    d->label = label;
    d->null = false;
}

void Row::setValue(const QString &value)
{
    d->value = value;
    d->null = false;
}

Row Row::fromXml(QXmlStreamReader &reader)
{
    Row row;
    row.d->null = false;
    XmlAnswer::readUntilEnd(reader, QStringLiteral("row"), [&row](QXmlStreamReader &reader) {
        if (reader.name() == QLatin1String("label"))
            row.d->label = reader.readElementText();
        else if (reader.name() == QLatin1String("value"))
            row.d->value = reader.readElementText();
    });
    return row;
}
