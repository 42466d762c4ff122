#include "message.h"

#include "xmlanswer.h"

class MessageData : public QSharedData
{
public:
    bool null = true;
    int type = Message::NoType;
    QString text;
    bool statusUpdateLink = false;
    bool orderLink = false;
};

Message::Message()
    : d(new MessageData)
{
}

Message::Message(const Message &other) = default;
Message &Message::operator=(const Message &other) = default;
Message::~Message() = default;

bool Message::isNull() const { return d->null; }
int Message::type() const { return d->type; }
QString Message::text() const { return d->text; }
bool Message::statusUpdateLink() const { return d->statusUpdateLink; }
bool Message::orderLink() const { return d->orderLink; }

void Message::setType(int type)
{
    d->type = type;
    d->null = false;
}

void Message::setText(const QString &text)
{
    d->text = text;
    d->null = false;
}

void Message::setStatusUpdateLink(bool statusUpdateLink)
{
    d->statusUpdateLink = statusUpdateLink;
    d->null = false;
}

void Message::setOrderLink(bool orderLink)
{
    d->orderLink = orderLink;
    d->null = false;
}

Message Message::fromXml(QXmlStreamReader &reader)
{
    Message message;
    message.d->null = false;
    const QString type = XmlAnswer::attribute(reader, QStringLiteral("type"));
    if (type == QLatin1String("info"))
        message.d->type = Info;
    else if (type == QLatin1String("success"))
        message.d->type = Success;
    else if (type == QLatin1String("warning"))
        message.d->type = Warning;
    else if (type == QLatin1String("error"))
        message.d->type = Error;
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("text")) {
            message.d->text = reader.readElementText();
            continue;
        }
        if (reader.name() == QLatin1String("link")) {
            const QString linkType = XmlAnswer::attribute(reader, QStringLiteral("type"));
            if (linkType == QLatin1String("status-update"))
                message.d->statusUpdateLink = true;
            else if (linkType == QLatin1String("order"))
                message.d->orderLink = true;
        }
        reader.skipCurrentElement();
    }
    return message;
}
