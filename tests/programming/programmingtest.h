#pragma once

// What the programming tests share: the folder of a test case, the frames
// the simulated cards recorded, and quiet offscreen windows.

#include "packagebuilder.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"

#include <QJsonObject>
#include <QStringList>

namespace ProgrammingTest {

inline QByteArray data(const QJsonObject& record)
{
    return QByteArray::fromHex(record.value(QStringLiteral("data")).toString().toLatin1());
}

// The offscreen platform warns about size hints for every window shown.
inline void quietOffscreenWarnings()
{
    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (!message.contains(QLatin1String("propagateSizeHints")))
            previous(type, context, message);
    });
}

} // namespace ProgrammingTest

// Many simulated cards for the batch tests: one simulator plays every card of
// a test case, each on its own loopback address with its own flash file.
namespace BatchCards {

inline QStringList addresses(int area, int testCase, int count)
{
    QStringList result;
    for (int card = 1; card <= count; ++card)
        result.append(TestAddresses::card(area, testCase, card));
    return result;
}

// The simulator's command line: the cards, where they keep their images, a
// quick installation, then `extra` (options, or per-card faults as --card ADDR:option).
inline QStringList arguments(const QStringList& cards, const QString& store, const QStringList& extra = {})
{
    return QStringList { "--listen", cards.join(','), "--prog-store", store, "--prog-install-ms", "10",
        "--prog-finish-ms", "10" }
    + extra;
}

// How often the tool connected to `card`.
inline int connections(const SimulatorFixture& sim, const QString& card)
{
    const QVector<QJsonObject> connected = sim.events(QStringLiteral("connected"));
    return int(std::count_if(connected.begin(), connected.end(),
        [&](const QJsonObject& r) { return r.value(QStringLiteral("card")).toString() == card; }));
}

// The most cards worked on at the same time: from the connection to the
// card's 259 (a worker connects to its next card only after it).
inline int mostAtOnce(const SimulatorFixture& sim)
{
    int open = 0, most = 0;
    for (const QJsonObject& r : sim.records()) {
        if (r.value(QStringLiteral("event")).toString() == QLatin1String("connected"))
            most = qMax(most, ++open);
        else if (r.value(QStringLiteral("dir")).toString() == QLatin1String("out") && r.value("cmd").toInt() == 259)
            --open;
    }
    return most;
}

} // namespace BatchCards
