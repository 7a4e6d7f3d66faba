#pragma once

// A simulator (netquill-cardsim, or netquill-discoverysim through
// "ip netns exec") started as a process of its own, for the namespace tests
// and the benchmarks: the constructor waits, at most 15 s, until it has said
// "ready" as often as asked; the destructor ends it (SIGTERM, which lets it
// take its addresses off again, then SIGKILL). When it was given a record
// file, the record's JSON lines can be read back while it runs.

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cstdio>

class SimulatorProcess {
public:
    SimulatorProcess(const QString& program, const QStringList& arguments, int readyLines = 1)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, arguments);
        QElapsedTimer wait;
        wait.start();
        while (!(m_ready = m_banner.count("ready") >= readyLines) && wait.elapsed() < 15000
            && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(100);
            m_banner += m_process.readAllStandardOutput();
        }
        if (!m_ready)
            std::fprintf(stderr, "the simulator did not start: %s\n", m_banner.constData());
    }
    ~SimulatorProcess()
    {
        m_process.terminate();
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;
    bool ready() const { return m_ready; }

    // The lines of a record file whose "event" is `name` (every line when
    // `name` is empty).
    static QVector<QJsonObject> events(const QString& record, const QString& name = QString())
    {
        QVector<QJsonObject> result;
        QFile file(record);
        for (const QByteArray& line : (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()).split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (!o.isEmpty() && (name.isEmpty() || o.value(QStringLiteral("event")).toString() == name))
                result.append(o);
        }
        return result;
    }

private:
    QProcess m_process;
    QByteArray m_banner;
    bool m_ready = false;
};
