#include "linklabel.h"

#include "fontawesome.h"
#include "hidpi.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int IconSize = 16;
} // namespace

class LinkLabelPrivate
{
public:
    QLabel *icon = nullptr;
    QLabel *link = nullptr;
    QString text;
};

LinkLabel::LinkLabel(int codePoint, QWidget *parent)
    : QWidget(parent)
    , d(new LinkLabelPrivate)
{
    d->icon = new QLabel(this);
    d->icon->setPixmap(FontAwesome::instance()->icon(codePoint).pixmap(mHiDpiSize(IconSize, IconSize)));
    d->link = new QLabel(this);
    d->link->setTextFormat(Qt::RichText);
    d->link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d->icon);
    layout->addWidget(d->link, 1);
    connect(d->link, &QLabel::linkActivated, this, &LinkLabel::clicked);
}

LinkLabel::~LinkLabel() = default;

QString LinkLabel::text() const
{
    return d->text;
}

void LinkLabel::setText(const QString &text)
{
    d->text = text;
    d->link->setText(QStringLiteral("<a href='#'>%1</a>").arg(text.toHtmlEscaped()));
}
