#pragma once

#include "noticewidget.h"

class Message;

// The provider's message to the user, as a bar across the main window.
class MessageWidget : public NoticeWidget
{
    Q_OBJECT

public:
    explicit MessageWidget(Core *core, QWidget *parent = nullptr);

    void setMessage(const Message &message);
};
