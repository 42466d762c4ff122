#include "messagewidget.h"

#include "message.h"

MessageWidget::MessageWidget(Core *core, QWidget *parent)
    : NoticeWidget(core, Message::NoType, parent)
{
}

void MessageWidget::setMessage(const Message &message)
{
    setKind(message.type());
    setText(message.text());
}
