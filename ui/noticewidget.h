#pragma once

#include <QWidget>

#include <memory>

class Core;
class NoticeWidgetPrivate;

// A rich text on the background of a message kind (Message::Type: Info, Success,
// Warning, Error; any other value is a plain notice), with the kind's icon at the
// left and lines along chosen edges. Its links open in the browser when they are
// web addresses and are otherwise names of the provider's links.
class NoticeWidget : public QWidget
{
    Q_OBJECT

public:
    ~NoticeWidget() override;

    int kind() const;
    void setKind(int kind);
    // The text as given, before any colouring of its links.
    QString text() const;
    void setText(const QString &text);
    bool isIconVisible() const;
    void setIconVisible(bool visible);
    // Edges whose width is above 0 get a one-pixel line in the kind's text colour.
    void setBorderWidths(int left, int top, int right, int bottom);

public slots:
    void linkActivated(const QString &link);

protected:
    NoticeWidget(Core *core, int kind, QWidget *parent);

    // Links take the kind's text colour instead of the palette's link colour.
    void setLinksColored(bool colored);
    void addTrailingWidget(QWidget *widget);
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<NoticeWidgetPrivate> d;
};
