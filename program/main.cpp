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

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>

namespace {

// Qt's own diagnostics are not for users; NOXEL_DEBUG shows them on standard error.
void messageHandler(QtMsgType, const QMessageLogContext &, const QString &message)
{
    static const bool show = qEnvironmentVariableIsSet("NOXEL_DEBUG");
    if (show)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

enum class Request { Run, Help, Version, UnknownOption };

struct CommandLine
{
    Request request = Request::Run;
    QByteArray unknownOption;
};

// Qt's own options (QGuiApplication, QApplication and the X11 platform), which Qt
// takes out of the arguments while it constructs the application object. The
// first ones take the next argument as their value.
const char *const QtOptionsWithValue[] = { "-platform", "-platformpluginpath", "-platformtheme", "-plugin",
    "-qwindowgeometry", "-geometry", "-qwindowicon", "-icon", "-qwindowtitle", "-title", "-session",
    "-display", "-name", "-visual", "-style", "-stylesheet" };
const char *const QtFlags[] = { "-reverse", "-widgetcount", "-testability", "-nograb", "-dograb", "-sync" };
const char *const QtOptionsWithEquals[]
    = { "-style=", "-stylesheet=", "-qmljsdebugger=", "-dialogs=", "-fontengine=" };

// Read before the application object exists, so that --help and --version need no
// display. Everything that is not an option is a file for the program.
CommandLine parseCommandLine(int argc, char **argv)
{
    CommandLine commandLine;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (!argument.startsWith('-'))
            continue;
        if (argument == "-h" || argument == "--help") {
            commandLine.request = Request::Help;
            continue;
        }
        if (argument == "-v" || argument == "--version") {
            if (commandLine.request != Request::Help)
                commandLine.request = Request::Version;
            continue;
        }
        // Started by the session's autostart entry.
        if (argument == "-l")
            continue;
        // Qt takes its options with one dash or two.
        const QByteArray option = argument.startsWith("--") ? argument.mid(1) : argument;
        const auto is = [&option](const char *name) { return option == name; };
        const auto starts = [&option](const char *prefix) { return option.startsWith(prefix); };
        if (std::any_of(std::begin(QtOptionsWithValue), std::end(QtOptionsWithValue), is)) {
            ++i;
            continue;
        }
        if (std::any_of(std::begin(QtFlags), std::end(QtFlags), is)
            || std::any_of(std::begin(QtOptionsWithEquals), std::end(QtOptionsWithEquals), starts))
            continue;
        commandLine.request = Request::UnknownOption;
        commandLine.unknownOption = argument;
        break;
    }
    return commandLine;
}

void printUsage()
{
    std::printf("Usage: noxel [options] [file]\n"
                "The Noxel VPN client: connects this computer to the servers of the Noxel VPN service.\n"
                "\n"
                "Options:\n"
                "  -h, --help     show this help and exit\n"
                "  -v, --version  show the version and exit\n"
                "  -l             started with the session (the autostart entry passes it)\n"
                "Qt's own options (-platform, -style, -display, -geometry, -reverse, ...) are\n"
                "accepted as well.\n"
                "\n"
                "Noxel runs once per user. While it runs, a new start hands the file given (or,\n"
                "without one, just a knock) to the running instance, which comes to the front,\n"
                "and exits.\n");
}

} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(messageHandler);

    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.3.1"));

    const CommandLine commandLine = parseCommandLine(argc, argv);
    switch (commandLine.request) {
    case Request::Help:
        printUsage();
        return 0;
    case Request::Version:
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
            qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    case Request::UnknownOption:
        std::fprintf(stderr, "noxel: unknown option '%s'\nTry 'noxel --help'.\n",
            commandLine.unknownOption.constData());
        return 2;
    case Request::Run:
        break;
    }

    // Started again as root through pkexec: the user's folders, settings and guard.
    WinUtils::adoptInvokingUser();
    SingleApplication app(argc, argv, QStringLiteral("Noxel"));

    // A later start only hands its file (or a knock) to the running instance: it
    // neither asks for root nor sets anything up.
    if (app.isRunning()) {
        QString message = Utils::extractFileNameFromArguments();
        // The first argument may be one of the program's own options rather than a file.
        if (message.isEmpty() || message.startsWith(QLatin1Char('-')))
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
    for (const int size : { 16, 20, 24, 32, 48, 64 })
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
        QObject::connect(log, &LogManager::lineAdded, log,
            [](const QString &line) { std::fprintf(stderr, "%s\n", qPrintable(line)); });
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
    QObject::connect(
        window.get(), &MainWindow::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    UnixSignalWatcher signalWatcher;
    QObject::connect(
        &signalWatcher, &UnixSignalWatcher::terminationRequested, window.get(), &MainWindow::quit);
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
