// netquill-discoverysim: the discovery side of network-management cards, for
// Netquill's search page, inside a network namespace.

#include "discoverysimulator.h"
#include "quitonsignal.h"

#include <QCoreApplication>
#include <QTextStream>

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
    quitOnTerminationSignals(app);

    QTextStream(stdout) << "ready: " << simulator.cardCount() << " cards\n" << Qt::flush;
    const int code = app.exec();
    simulator.stop();
    return code;
}
