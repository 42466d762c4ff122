#include "term.h"

#include "localtimereader.h"
#include "xmlanswer.h"

class TermData : public QSharedData
{
public:
    bool null = true;
    QDateTime start;
    QDateTime end;
};

Term::Term()
    : d(new TermData)
{
}

Term::Term(const Term &other) = default;
Term &Term::operator=(const Term &other) = default;
Term::~Term() = default;

bool Term::isNull() const { return d->null; }
QDateTime Term::start() const { return d->start; }
QDateTime Term::end() const { return d->end; }

void Term::setStart(const QDateTime &start)
{
    d->start = start;
    d->null = false;
}

void Term::setEnd(const QDateTime &end)
{
    d->end = end;
    d->null = false;
}

Term Term::fromXml(QXmlStreamReader &reader)
{
    Term term;
    term.d->null = false;
    LocalTimeReader times;
    if (XmlAnswer::hasAttribute(reader, QStringLiteral("start")))
        term.d->start = times.read(XmlAnswer::attribute(reader, QStringLiteral("start")));
    if (XmlAnswer::hasAttribute(reader, QStringLiteral("end")))
        term.d->end = times.read(XmlAnswer::attribute(reader, QStringLiteral("end")));
    XmlAnswer::readUntilEnd(reader, QStringLiteral("term"), [](QXmlStreamReader &) {});
    return term;
}
