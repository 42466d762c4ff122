#pragma once

#include "core_global.h"

#include <QString>
#include <QStringList>

namespace StringUtils {

CORE_EXPORT bool isBlank(const QString &s);
CORE_EXPORT QString commonPrefix(const QStringList &list);
// Decodes the two entities the provider's texts use: "&euro;" and "&#36;".
CORE_EXPORT QString replaceHtmlEntities(const QString &s);

} // namespace StringUtils
