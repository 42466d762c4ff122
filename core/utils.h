#pragma once

#include "core_global.h"

#include <QString>

class CORE_EXPORT Utils
{
public:
    // The first command-line argument that is not the program itself: a file to
    // hand to a running instance, or empty.
    static QString extractFileNameFromArguments();
    // Replaces the file's contents with text as UTF-8; true when all of it was written.
    static bool writeFile(const QString &path, const QString &text);

private:
    Utils() = delete;
};
