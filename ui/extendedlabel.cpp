#include "extendedlabel.h"

ExtendedLabel::ExtendedLabel(QWidget *parent)
    : QLabel(parent)
{
}

ExtendedLabel::ExtendedLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
}

void ExtendedLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    emit clicked();
}
