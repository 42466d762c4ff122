#include "recorder.h"

#include <QFile>

namespace Recorder {

bool write(const QString &path, const QString &log)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + QFile::encodeName(log) + "'\n");
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList lines(const QString &log)
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringList();
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace Recorder
