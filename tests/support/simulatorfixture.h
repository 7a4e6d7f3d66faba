#pragma once

#include "cardsimulator.h"

#include <QJsonObject>
#include <QStringList>
#include <QThread>
#include <QVector>

// Runs the card simulator in a thread of its own, so that it answers while
// the test's thread is blocked (in a connect, a modal wait or a worker join).
// The arguments are netquill-cardsim's own command line.
class SimulatorFixture {
public:
    explicit SimulatorFixture(const QStringList& arguments);
    ~SimulatorFixture();
    SimulatorFixture(const SimulatorFixture&) = delete;
    SimulatorFixture& operator=(const SimulatorFixture&) = delete;

    bool start(QString* error = nullptr);

    QVector<QJsonObject> records() const;
    // Recorded frames of one direction ("in": from the tool), optionally of one code.
    QVector<QJsonObject> frames(const QString& dir = QStringLiteral("in"), int cmd = -1) const;
    // Events of one name ("connected", "closed", "reboot", ...).
    QVector<QJsonObject> events(const QString& name) const;
    void clearRecords();

private:
    QStringList m_arguments;
    QThread m_thread;
    CardSimulator* m_simulator = nullptr;
};
