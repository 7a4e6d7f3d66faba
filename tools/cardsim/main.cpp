// netquill-cardsim: network-management cards on loopback, for trying and
// training on Netquill without hardware, and for its tests.

#include "card.h"
#include "cardsimulator.h"
#include "quitonsignal.h"

#include <QCoreApplication>
#include <QTextStream>

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
    quitOnTerminationSignals(app);

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
