#pragma once

// What the programming tests share: the folder of a test case, the frames
// the simulated cards recorded, and quiet offscreen windows.

#include "packagebuilder.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"

#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

namespace ProgrammingTest {

// The temporary folder of one test case: the files the test writes and the
// images the simulated cards store there (the simulator's --prog-store).
class Workspace {
public:
    bool isValid() const { return m_dir.isValid(); }
    QString path(const QString& name = QString()) const { return name.isEmpty() ? m_dir.path() : m_dir.filePath(name); }
    // Writes `bytes` to `name` in the folder; the path, or empty on failure.
    QString file(const QString& name, const QByteArray& bytes) const
    {
        return PackageBuilder::write(path(name), bytes) ? path(name) : QString();
    }
    QString store() const { return path(QStringLiteral("{addr}-{type}.bin")); }
    QByteArray flash(const QString& card, int type) const
    {
        return PackageBuilder::read(path(QStringLiteral("%1-%2.bin").arg(card).arg(type)));
    }

private:
    QTemporaryDir m_dir;
};

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

// The records of one card, optionally only frames from the tool of one code.
inline QVector<QJsonObject> of(const QString& card, const QVector<QJsonObject>& records)
{
    QVector<QJsonObject> result;
    std::copy_if(records.begin(), records.end(), std::back_inserter(result),
        [&](const QJsonObject& r) { return r.value(QStringLiteral("card")).toString() == card; });
    return result;
}
inline int connections(const SimulatorFixture& sim, const QString& card)
{
    return of(card, sim.events(QStringLiteral("connected"))).size();
}
inline int openNow(const SimulatorFixture& sim)
{
    return sim.events(QStringLiteral("connected")).size() - sim.events(QStringLiteral("closed")).size();
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
