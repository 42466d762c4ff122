#pragma once

#include <QFont>
#include <QIcon>
#include <QObject>
#include <QVariantMap>

#include <memory>

class FontAwesomePrivate;

// The icon font, Font Awesome 4: icons painted from its glyphs in any colour and
// size. Options, each optional ("color", "color-disabled", "color-active",
// "color-selected": QColor; "scale-factor": glyph height over icon height;
// "text", "text-disabled", "text-active", "text-selected": text drawn in place of
// the glyph in that icon mode).
class FontAwesome : public QObject
{
    Q_OBJECT

public:
    ~FontAwesome() override;

    // The one font of the process, made on first use as a child of the application
    // object, so it ends with it. Null without an application object.
    static FontAwesome *instance();

    QIcon icon(int codePoint, const QVariantMap &options = {});
    // By the font's icon name, such as "info-circle"; a null icon for an unknown name.
    QIcon icon(const QString &name, const QVariantMap &options = {});
    // The code point of an icon name; 0 for an unknown name.
    int codePoint(const QString &name) const;
    // The text that shows the icon `codePoint` in font().
    static QString character(int codePoint);
    QFont font(int pixelSize) const;

private:
    explicit FontAwesome(QObject *parent);

    std::unique_ptr<FontAwesomePrivate> d;
};
