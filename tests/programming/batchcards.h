#pragma once

// Many simulated cards for the batch tests: one simulator plays every card of
// a test case, each on its own loopback address with its own flash file, and
// its record tells per card what the tool sent.

#include "support/simulatorfixture.h"
#include "support/testaddresses.h"

#include <QJsonObject>
#include <QMap>
#include <QStringList>
#include <QVector>

namespace BatchCards {

inline QStringList addresses(int area, int testCase, int count)
{
    QStringList result;
    for (int card = 1; card <= count; ++card)
        result.append(TestAddresses::card(area, testCase, card));
    return result;
}

// The simulator's command line: the cards, where they keep their images, a
// quick installation, then `extra` (per-card faults as --card ADDR:option).
inline QStringList arguments(const QStringList& cards, const QString& store, const QStringList& extra = {})
{
    return QStringList { QStringLiteral("--listen"), cards.join(QLatin1Char(',')), QStringLiteral("--prog-store"),
        store, QStringLiteral("--prog-install-ms"), QStringLiteral("10"), QStringLiteral("--prog-finish-ms"),
        QStringLiteral("10") }
    + extra;
}

// Frames of one card, one direction ("in": from the tool), optionally of one code.
inline QVector<QJsonObject> frames(const SimulatorFixture& sim, const QString& card, int cmd = -1)
{
    QVector<QJsonObject> result;
    for (const QJsonObject& r : sim.frames(QStringLiteral("in"), cmd)) {
        if (r.value(QStringLiteral("card")).toString() == card)
            result.append(r);
    }
    return result;
}

inline int connections(const SimulatorFixture& sim, const QString& card)
{
    int count = 0;
    for (const QJsonObject& r : sim.events(QStringLiteral("connected")))
        count += r.value(QStringLiteral("card")).toString() == card;
    return count;
}

// The most cards that were worked on at the same time: from the connection
// to the card's 259 (a worker connects to its next card only after it). The
// ends of connections are no measure: the simulator may see a worker's next
// connection before the close of its last one.
inline int mostAtOnce(const SimulatorFixture& sim)
{
    int open = 0;
    int most = 0;
    for (const QJsonObject& r : sim.records()) {
        if (r.value(QStringLiteral("event")).toString() == QLatin1String("connected"))
            most = qMax(most, ++open);
        else if (r.value(QStringLiteral("dir")).toString() == QLatin1String("out")
            && r.value(QStringLiteral("cmd")).toInt() == 259)
            --open;
    }
    return most;
}

inline int openNow(const SimulatorFixture& sim)
{
    return sim.events(QStringLiteral("connected")).size() - sim.events(QStringLiteral("closed")).size();
}

} // namespace BatchCards
