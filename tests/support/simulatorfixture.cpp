#include "simulatorfixture.h"

#include <QMetaObject>

SimulatorFixture::SimulatorFixture(const QStringList& arguments)
    : m_arguments(arguments)
{
    m_arguments.prepend(QStringLiteral("netquill-cardsim"));
    m_thread.setObjectName(QStringLiteral("cardsim"));
}

SimulatorFixture::~SimulatorFixture()
{
    if (m_simulator) {
        CardSimulator* sim = m_simulator;
        QMetaObject::invokeMethod(
            sim, [sim] { delete sim; }, Qt::BlockingQueuedConnection);
        m_simulator = nullptr;
    }
    m_thread.quit();
    m_thread.wait();
}

bool SimulatorFixture::start(QString* error)
{
    auto* sim = new CardSimulator();
    QString why;
    if (!sim->configure(m_arguments, &why)) {
        delete sim;
        if (error)
            *error = why;
        return false;
    }
    sim->recorder().setKeepInMemory(true);
    m_thread.start();
    sim->moveToThread(&m_thread);
    bool ok = false;
    QMetaObject::invokeMethod(
        sim, [sim, &ok, &why] { ok = sim->start(&why); }, Qt::BlockingQueuedConnection);
    m_simulator = sim;
    if (!ok && error)
        *error = why;
    return ok;
}

QVector<QJsonObject> SimulatorFixture::records() const
{
    return m_simulator ? m_simulator->recorder().records() : QVector<QJsonObject>();
}

QVector<QJsonObject> SimulatorFixture::frames(const QString& dir, int cmd) const
{
    QVector<QJsonObject> result;
    for (const QJsonObject& r : records()) {
        if (r.value(QStringLiteral("dir")).toString() != dir)
            continue;
        if (cmd >= 0 && r.value(QStringLiteral("cmd")).toInt() != cmd)
            continue;
        result.append(r);
    }
    return result;
}

QVector<QJsonObject> SimulatorFixture::events(const QString& name) const
{
    QVector<QJsonObject> result;
    for (const QJsonObject& r : records()) {
        if (r.value(QStringLiteral("event")).toString() == name)
            result.append(r);
    }
    return result;
}

void SimulatorFixture::clearRecords()
{
    if (m_simulator)
        m_simulator->recorder().clear();
}

void SimulatorFixture::inSimulator(const std::function<void(CardSimulator&)>& f)
{
    if (!m_simulator)
        return;
    CardSimulator* sim = m_simulator;
    QMetaObject::invokeMethod(
        sim, [sim, &f] { f(*sim); }, Qt::BlockingQueuedConnection);
}
