#include "utils.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

QString Utils::extractFileNameFromArguments()
{
    const QString executable = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    int skipped = 0;
    const QStringList arguments = QCoreApplication::arguments();
    for (QString argument : arguments) {
        if (argument.size() >= 2 && argument.startsWith(QLatin1Char('"')) && argument.endsWith(QLatin1Char('"')))
            argument = argument.mid(1, argument.size() - 2);
        if (argument.endsWith(executable) || skipped > 1) {
            ++skipped;
            continue;
        }
        return argument;
    }
    return QString();
}

bool Utils::writeFile(const QString &path, const QString &text)
{
    // Written aside and renamed, so a full disk never leaves half a file behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}
