#include "simulatorfixture.h"

SimulatorFixture::SimulatorFixture(const QStringList& arguments)
    : m_arguments(QStringList { QStringLiteral("netquill-cardsim") } + arguments)
{
    m_thread.setObjectName(QStringLiteral("cardsim"));
}

SimulatorFixture::~SimulatorFixture()
{
    if (CardSimulator* sim = m_simulator)
        QMetaObject::invokeMethod(
            sim, [sim] { delete sim; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

bool SimulatorFixture::start(QString* error)
{
    auto* sim = new CardSimulator();
    QString why;
    bool ok = sim->configure(m_arguments, &why);
    if (!ok) {
        delete sim;
    } else {
        sim->recorder().setKeepInMemory(true);
        m_thread.start();
        sim->moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            sim, [sim, &ok, &why] { ok = sim->start(&why); }, Qt::BlockingQueuedConnection);
        m_simulator = sim;
    }
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
    for (const QJsonObject& r : records())
        if (r.value(QStringLiteral("dir")).toString() == dir
            && (cmd < 0 || r.value(QStringLiteral("cmd")).toInt() == cmd))
            result.append(r);
    return result;
}

QVector<QJsonObject> SimulatorFixture::events(const QString& name) const
{
    QVector<QJsonObject> result;
    for (const QJsonObject& r : records())
        if (r.value(QStringLiteral("event")).toString() == name)
            result.append(r);
    return result;
}

void SimulatorFixture::clearRecords()
{
    if (m_simulator)
        m_simulator->recorder().clear();
}
