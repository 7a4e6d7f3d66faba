// netquill-cardsim: network-management cards on loopback, for trying and
// training on Netquill without hardware, and for its tests.

#include "card.h"
#include "cardsimulator.h"

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
    QCoreApplication::setApplicationName(QStringLiteral("netquill-cardsim"));

    CardSimulator simulator;
    QString error;
    QTextStream err(stderr);
    if (!simulator.configure(app.arguments(), &error)) {
        err << "netquill-cardsim: " << error << "\nTry --help.\n";
        return 2;
    }
    if (simulator.helpRequested()) {
        QTextStream(stdout) << simulator.helpText();
        return 0;
    }
    if (!simulator.start(&error)) {
        err << "netquill-cardsim: cannot listen on " << error << '\n';
        return 1;
    }

    // SIGINT and SIGTERM end the event loop, so the record file is complete.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onTerminate);
        std::signal(SIGTERM, onTerminate);
    }

    QTextStream out(stdout);
    const auto cards = simulator.cards();
    if (cards.size() <= 4) {
        for (Card* card : cards)
            out << "card " << card->address() << ':' << card->port() << " ready, " << card->versionText() << '\n';
    } else {
        out << cards.size() << " cards ready on " << cards.first()->address() << " to " << cards.last()->address()
            << ", port " << cards.first()->port() << '\n';
    }
    out.flush();
    return app.exec();
}
