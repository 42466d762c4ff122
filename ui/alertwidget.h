#pragma once

#include "noticewidget.h"

#include <memory>

class AlertWidgetPrivate;

// A notice inside a dialog or panel, with links in its own colour and a close mark
// that conceals it.
class AlertWidget : public NoticeWidget
{
    Q_OBJECT

public:
    AlertWidget(Core *core, int kind, QWidget *parent = nullptr);
    ~AlertWidget() override;

    bool isCloseVisible() const;
    void setCloseVisible(bool visible);

protected:
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<AlertWidgetPrivate> d;
};
