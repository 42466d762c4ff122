#include "noticewidget.h"

#include "constants.h"
#include "core.h"
#include "fontawesome.h"
#include "hidpi.h"
#include "message.h"
#include "platformmanager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>

namespace {

struct KindLook
{
    QColor text;
    QColor background;
    int icon; // code point of the icon font
};

KindLook kindLook(int kind)
{
    switch (kind) {
    case Message::Info:
        return { COLOR_INFO_TEXT, COLOR_INFO_BACKGROUND, 0xf05a };
    case Message::Success:
        return { COLOR_SUCCESS_TEXT, COLOR_SUCCESS_BACKGROUND, 0xf14a };
    case Message::Warning:
        return { COLOR_WARNING_TEXT, COLOR_WARNING_BACKGROUND, 0xf06a };
    case Message::Error:
        return { COLOR_DANGER_TEXT, COLOR_DANGER_BACKGROUND, 0xf06a };
    default:
        return { COLOR_TEXT, COLOR_WHITE, 0xf06a };
    }
}

QString colorLinks(QString text, const QColor &color)
{
    static const QRegularExpression anchor(QStringLiteral("<a([ ][^>]*)?>"));
    return text.replace(
        anchor, QStringLiteral("<a style=\"color:") + color.name() + QStringLiteral(";\"\\1>"));
}

} // namespace

class NoticeWidgetPrivate
{
public:
    QPointer<Core> core;
    int kind = 0;
    QString text;
    bool iconVisible = true;
    bool linksColored = false;
    QMargins borders;
    QHBoxLayout *layout = nullptr;
    QLabel *label = nullptr;
    const int margin = mHiDpiSize(10);
    const int verticalMargin = mHiDpiSize(8);
    const int iconSize = mHiDpiSize(20);
    const int line = mHiDpiSize(1);
};

NoticeWidget::NoticeWidget(Core *core, int kind, QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<NoticeWidgetPrivate>())
{
    d->core = core;
    d->layout = new QHBoxLayout(this);
    d->layout->setSpacing(d->margin);
    d->label = new QLabel(this);
    d->label->setObjectName(QStringLiteral("text"));
    d->label->setWordWrap(true);
    d->label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    d->label->setOpenExternalLinks(false);
    d->layout->addWidget(d->label, 1);
    connect(d->label, &QLabel::linkActivated, this, &NoticeWidget::linkActivated);
    setKind(kind);
    setIconVisible(true);
}

NoticeWidget::~NoticeWidget() = default;

int NoticeWidget::kind() const
{
    return d->kind;
}

void NoticeWidget::setKind(int kind)
{
    d->kind = kind;
    // The label and the widgets beside it take the kind's colour from here.
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, kindLook(kind).text);
    setPalette(palette);
    setText(d->text);
}

QString NoticeWidget::text() const
{
    return d->text;
}

void NoticeWidget::setText(const QString &text)
{
    d->text = text;
    d->label->setText(d->linksColored ? colorLinks(text, kindLook(d->kind).text) : text);
    update();
}

bool NoticeWidget::isIconVisible() const
{
    return d->iconVisible;
}

void NoticeWidget::setIconVisible(bool visible)
{
    d->iconVisible = visible;
    const int left = visible ? 2 * d->margin + d->iconSize : d->margin;
    d->layout->setContentsMargins(left, d->verticalMargin, d->margin, d->verticalMargin);
    update();
}

void NoticeWidget::setBorderWidths(int left, int top, int right, int bottom)
{
    d->borders = QMargins(left, top, right, bottom);
    update();
}

void NoticeWidget::linkActivated(const QString &link)
{
    if (link.startsWith(QLatin1String("http"), Qt::CaseInsensitive))
        PlatformManager::openUrl(QUrl(link));
    else if (d->core)
        d->core->openLink(link);
}

void NoticeWidget::setLinksColored(bool colored)
{
    d->linksColored = colored;
    setText(d->text);
}

void NoticeWidget::addTrailingWidget(QWidget *widget)
{
    d->layout->addWidget(widget, 0, Qt::AlignTop);
}

void NoticeWidget::paintEvent(QPaintEvent *)
{
    const KindLook look = kindLook(d->kind);
    QPainter painter(this);
    painter.fillRect(rect(), look.background);

    if (d->iconVisible) {
        if (FontAwesome *font = FontAwesome::instance()) {
            painter.setFont(font->font(d->iconSize));
            painter.setPen(look.text);
            const QRect place(d->margin, 0, d->iconSize, height());
            painter.drawText(place, Qt::AlignCenter, FontAwesome::character(look.icon));
        }
    }

    const QRect r = rect();
    if (d->borders.left() > 0)
        painter.fillRect(QRect(r.left(), r.top(), d->line, r.height()), look.text);
    if (d->borders.top() > 0)
        painter.fillRect(QRect(r.left(), r.top(), r.width(), d->line), look.text);
    if (d->borders.right() > 0)
        painter.fillRect(QRect(r.right() - d->line + 1, r.top(), d->line, r.height()), look.text);
    if (d->borders.bottom() > 0)
        painter.fillRect(QRect(r.left(), r.bottom() - d->line + 1, r.width(), d->line), look.text);
}
