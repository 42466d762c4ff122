#pragma once

#include <QLabel>

// A label that can be clicked.
class ExtendedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ExtendedLabel(QWidget *parent = nullptr);
    explicit ExtendedLabel(const QString &text, QWidget *parent = nullptr);

signals:
    // On every mouse release over the label, whichever the button.
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
