#pragma once

#include <QWidget>

#include <memory>

class LinkLabelPrivate;

// An icon of the icon font beside a link; the link is a whole-text anchor, so the
// owner decides where it leads.
class LinkLabel : public QWidget
{
    Q_OBJECT

public:
    LinkLabel(int codePoint, QWidget *parent = nullptr);
    ~LinkLabel() override;

    QString text() const;
    void setText(const QString &text);

signals:
    void clicked();

private:
    std::unique_ptr<LinkLabelPrivate> d;
};
