// A stand-in for the program around SingleApplication, for the single-instance tests.
//
//   singleapp_probe KEY [MESSAGE]
//
// Prints "first" or "second". A first instance prints "message <hex of the UTF-8
// bytes>" for every message it receives, "tick <monotonic ms>" every 100 ms so that
// a test can see its event loop never stalls, and exits on the message "quit". A
// second instance sends MESSAGE (empty when none) and prints "sent true" or "sent false".

#include "singleapplication.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

namespace {

void printLine(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: singleapp_probe KEY [MESSAGE]\n");
        return 2;
    }
    const QString key = QString::fromLocal8Bit(argv[1]);
    const QString message = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    SingleApplication app(argc, argv, key);
    if (app.isRunning()) {
        printLine("second");
        printLine(app.sendMessage(message) ? "sent true" : "sent false");
        return 0;
    }
    printLine("first");

    QObject::connect(&app, &SingleApplication::messageAvailable, &app, [&app](const QString &text) {
        printLine("message " + text.toUtf8().toHex());
        if (text == QLatin1String("quit"))
            app.quit();
    });

    // The monotonic clock is shared by all processes, so the test can set these
    // times against its own.
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &app, [] {
        QElapsedTimer now;
        now.start();
        printLine("tick " + QByteArray::number(now.msecsSinceReference()));
    });
    ticker.start(100);

    return app.exec();
}
