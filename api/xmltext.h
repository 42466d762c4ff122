#pragma once

#include <QString>

class XmlText
{
public:
    // The text without the characters XML 1.0 cannot carry (control characters
    // other than tab and line ends, lone surrogates, U+FFFE and U+FFFF), so that
    // log excerpts never break an envelope.
    static QString sanitized(const QString &text);

private:
    XmlText() = delete;
};
