#include "configuration.h"
#include "constants.h"
#include "core.h"
#include "logindialog.h"
#include "logmanager.h"
#include "mainwindow.h"
#include "mirrowstyle.h"
#include "platformmanager.h"
#include "singleapplication.h"
#include "unixsignalwatcher.h"
#include "utils.h"
#include "wineventfilter.h"
#include "winutils.h"

#include <QDir>
#include <QIcon>
#include <QSessionManager>
#include <QSettings>
#include <QStyle>

#include <cstdio>
#include <memory>

namespace {

// Qt's own diagnostics are not for users; NOXEL_DEBUG shows them on standard error.
void messageHandler(QtMsgType, const QMessageLogContext &, const QString &message)
{
    static const bool show = qEnvironmentVariableIsSet("NOXEL_DEBUG");
    if (show)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(messageHandler);

    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.3.1"));

    SingleApplication app(argc, argv, QStringLiteral("Noxel"));

    // A later start only hands its file (or a knock) to the running instance: it
    // neither asks for root nor sets anything up.
    if (app.isRunning()) {
        QString message = Utils::extractFileNameFromArguments();
        if (message.isEmpty())
            message = QStringLiteral("PING");
        app.sendMessage(message);
        return 0;
    }

    {
        QSettings settings;
        const bool runElevated = settings.value(QStringLiteral("run_elevated"), false).toBool();
        const QString tapVersion = settings.value(QStringLiteral("tap_version")).toString();
        // Root is needed to set up the tun device when the kernel offers none yet,
        // or always when the user asked for it.
        const bool needsRoot = (tapVersion.isEmpty() && !WinUtils::isTunDevicePresent()) || runElevated;
        if (needsRoot && !WinUtils::isRunningAsAdministrator()) {
            WinUtils::startElevated(QCoreApplication::applicationFilePath());
            return 0;
        }
        if (!settings.contains(QStringLiteral("auto_start"))) {
            settings.setValue(QStringLiteral("auto_start"), true);
            WinUtils::setAutoStartShortcut(true);
        }
    }

    QStringList libraryPaths = QCoreApplication::libraryPaths();
    libraryPaths << QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/plugins/")).absolutePath();
    QCoreApplication::setLibraryPaths(libraryPaths);

    WinUtils::setDpiAware();
    MirrowStyle::setAccentColor(QColor(0x73, 0xB9, 0xFF));
    QApplication::setStyle(new MirrowStyle(QApplication::style()->name()));
    QIcon icon;
    for (const int size : {16, 20, 24, 32, 48, 64})
        icon.addFile(QStringLiteral(":/images/app/%1_app.png").arg(size));
    QApplication::setWindowIcon(icon);

    // Core outlives the window, and both are gone before the application object.
    auto core = std::make_unique<Core>();
    WinEventFilter eventFilter;
    eventFilter.applyColorizationColor();
    app.installNativeEventFilter(&eventFilter);

    if (qEnvironmentVariableIsSet("NOXEL_DEBUG")) {
        LogManager *log = core->logManager();
        const auto print = [](const QByteArray &data) { std::fprintf(stderr, "%s", data.constData()); };
        QObject::connect(log, &LogManager::lineAdded, log, [](const QString &line) {
            std::fprintf(stderr, "%s\n", qPrintable(line));
        });
        QObject::connect(log, &LogManager::genericData, log, print);
        QObject::connect(log, &LogManager::openVpnData, log, print);
        QObject::connect(log, &LogManager::rasVpnData, log, print);
    }

    if (!core->initialize())
        return 1;
    if (!core->isPlatformReady())
        return 1;

    Configuration *configuration = core->configuration();
    if (configuration->isWizardCompleted() && !configuration->hasCredentials()) {
        core->requestVariables();
        auto *dialog = new LoginDialog(core.get(), nullptr);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        if (dialog->exec() == QDialog::Rejected)
            return 0;
    }

    auto window = std::make_unique<MainWindow>(core.get());
    QObject::connect(&app, &SingleApplication::messageAvailable, window.get(), &MainWindow::messageReceived);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, window.get(), &MainWindow::commitDataRequest,
                     Qt::DirectConnection);
    QObject::connect(window.get(), &MainWindow::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, window.get(), &MainWindow::quit);
    window->show();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    const int status = app.exec();
    window.reset();
    core.reset();
    // What was left to the event loop to delete (answers that came just before the
    // end, say) goes now that no loop runs any more.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
