#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QSharedDataPointer>

class QXmlStreamReader;
class TermData;

// The paid or trial period of an account.
class Term
{
public:
    Term();
    Term(const Term &other);
    Term &operator=(const Term &other);
    ~Term();

    bool isNull() const;
    QDateTime start() const;
    QDateTime end() const;

    void setStart(const QDateTime &start);
    void setEnd(const QDateTime &end);

    static Term fromXml(QXmlStreamReader &reader);

private:
    QSharedDataPointer<TermData> d;
};

Q_DECLARE_METATYPE(Term)
