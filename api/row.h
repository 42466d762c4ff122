#pragma once

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class QXmlStreamReader;
class RowData;

// One label and value line of the account panel.
class Row
{
public:
    Row();
    Row(const Row &other);
    Row &operator=(const Row &other);
    ~Row();

    bool isNull() const;
    QString label() const;
    QString value() const;

    void setLabel(const QString &label);
    void setValue(const QString &value);

    static Row fromXml(QXmlStreamReader &reader);

private:
    QSharedDataPointer<RowData> d;
};

Q_DECLARE_METATYPE(Row)
