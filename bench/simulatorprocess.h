#pragma once

// A simulator started as a process of its own for a benchmark: started, the
// run waits until it has said "ready" the number of times asked, and it is
// ended (SIGTERM, then SIGKILL) when the object goes.

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <cstdio>

class SimulatorProcess {
public:
    SimulatorProcess(const QString& program, const QStringList& arguments, int readyLines = 1)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, arguments);
        QElapsedTimer wait;
        wait.start();
        while (m_banner.count("ready") < readyLines && wait.elapsed() < 15000
            && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(200);
            m_banner += m_process.readAllStandardOutput();
        }
        m_ready = m_banner.count("ready") >= readyLines;
        if (!m_ready)
            std::fprintf(stderr, "the simulator did not start: %s\n", m_banner.constData());
    }
    ~SimulatorProcess()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    bool ready() const { return m_ready; }

private:
    QProcess m_process;
    QByteArray m_banner;
    bool m_ready = false;
};
