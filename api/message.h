#pragma once

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class QXmlStreamReader;
class MessageData;

// A notice of the provider for the user, with the links it offers.
class Message
{
public:
    Message();
    Message(const Message &other);
    Message &operator=(const Message &other);
    ~Message();

    bool isNull() const;
    int type() const;
    QString text() const;
    bool statusUpdateLink() const;
    bool orderLink() const;

    void setType(int type);
    void setText(const QString &text);
    void setStatusUpdateLink(bool statusUpdateLink);
    void setOrderLink(bool orderLink);

    enum Type {
        NoType = 0,
        Info = 1,
        Success = 2,
        Warning = 3,
        Error = 4,
    };

    static Message fromXml(QXmlStreamReader &reader);

private:
    QSharedDataPointer<MessageData> d;
};

Q_DECLARE_METATYPE(Message)
