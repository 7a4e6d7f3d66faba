// netquill-discoverysim: the discovery side of network-management cards, for
// Netquill's search page, inside a network namespace.

#include "discoverysimulator.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = { -1, -1 };

void onTerminate(int)
{
    const char byte = 1;
    (void)!::write(g_signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("netquill-discoverysim"));

    DiscoverySimulator simulator;
    QString error;
    QTextStream err(stderr);
    if (!simulator.configure(app.arguments(), &error)) {
        err << "netquill-discoverysim: " << error << "\nTry --help.\n";
        return 2;
    }
    if (simulator.helpRequested()) {
        QTextStream(stdout) << simulator.helpText();
        return 0;
    }
    if (!simulator.start(&error)) {
        err << "netquill-discoverysim: " << error << '\n';
        return 1;
    }

    // SIGINT and SIGTERM end the event loop, so the addresses put on the
    // interface are taken off again and the record is complete.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onTerminate);
        std::signal(SIGTERM, onTerminate);
    }

    QTextStream(stdout) << "ready: " << simulator.cardCount() << " cards\n" << Qt::flush;
    const int code = app.exec();
    simulator.stop();
    return code;
}
