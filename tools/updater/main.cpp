// The program the client hands an announced update to. It records the request
// where the user can see it; fetching and installing packages is the system's
// package manager's work on Linux.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() != 1
        || (arguments.first() != QLatin1String("/checknow") && arguments.first() != QLatin1String("/silentall"))) {
        QTextStream(stderr) << "usage: updater /checknow | /silentall\n";
        return 2;
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    QFile log(folder + QStringLiteral("/updater.log"));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return 1;
    QTextStream(&log) << QDateTime::currentDateTime().toString(Qt::ISODate) << ' ' << arguments.first() << '\n';
    QTextStream(stdout) << "A new version of Noxel is available: update it with your package manager.\n";
    return 0;
}
