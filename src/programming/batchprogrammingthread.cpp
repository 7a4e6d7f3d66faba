#include "batchprogrammingthread.h"

#include "link/commtcp.h"
#include "programmingrun.h"

#include <QMutexLocker>

struct BatchProgrammingThread::Private {
    // Parameters, guarded by the worker's mutex.
    QString m_ip;
    QString m_fileName;
    Report m_report;
    int m_index = 0;
    int m_mode = 0;
    int m_progType = 0;
    int m_installTimeoutMs = 0;
    int m_replyTimeoutMs = 0;
    bool m_running = false;
    // Set by setDevice, cleared by the start it asks for: a worker starts
    // only a task that has been handed to it, never again on a stale index.
    bool m_handedOver = false;
    // The image changed since the last task: the open one is closed.
    bool m_fileChanged = false;

    // The running task: the worker's thread only (the run is closed from the
    // GUI thread only while no task runs).
    ProgrammingRun* m_run = nullptr;
    std::unique_ptr<CommTcp> m_comm;
    QString m_taskIp;
    QString m_taskFile;
    int m_taskMode = 0;
    quint8 m_taskType = 0;
    bool m_taskActive = false;
    bool m_connecting = false;
};

BatchProgrammingThread::BatchProgrammingThread(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->m_run = new ProgrammingRun(ProgrammingRun::Policy::batch(), this);
    ProgrammingRun* run = d->m_run;
    connect(run, &ProgrammingRun::transferStarted, this, &BatchProgrammingThread::programmingStarted);
    connect(run, &ProgrammingRun::chunkAcknowledged, this, &BatchProgrammingThread::programmingUpdated);
    connect(run, &ProgrammingRun::installationAwaited, this, &BatchProgrammingThread::installationStarted);
    connect(run, &ProgrammingRun::finished, this, [this](int failure) {
        if (failure == ProgrammingRun::NoFailure && d->m_taskMode == Program)
            emit programmingUpdated(d->m_run->sentBytes());
        finishTask(failure == ProgrammingRun::NoFailure ? Succeeded : Failed, failure);
    });
}

BatchProgrammingThread::~BatchProgrammingThread()
{
    d->m_comm.reset();
}

void BatchProgrammingThread::setDevice(const QString& ip, int index)
{
    QMutexLocker lock(&m_mutex);
    d->m_ip = ip;
    d->m_index = index;
    d->m_handedOver = true;
}

void BatchProgrammingThread::setMode(int mode)
{
    QMutexLocker lock(&m_mutex);
    d->m_mode = mode;
}

void BatchProgrammingThread::setProgType(int type)
{
    QMutexLocker lock(&m_mutex);
    d->m_progType = type;
}

void BatchProgrammingThread::setProgrammingFile(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    if (path == d->m_fileName && !d->m_fileChanged)
        return;
    d->m_fileName = path;
    // An idle worker does not touch its image, so it can be closed here (and
    // the batch's copy removed); a running task keeps reading its own until
    // it ends.
    if (d->m_running) {
        d->m_fileChanged = true;
    } else {
        d->m_run->closeImage();
        d->m_fileChanged = false;
    }
}

void BatchProgrammingThread::setInstallTimeout(int ms)
{
    QMutexLocker lock(&m_mutex);
    d->m_installTimeoutMs = qMax(0, ms);
}

void BatchProgrammingThread::setReplyTimeout(int ms)
{
    QMutexLocker lock(&m_mutex);
    d->m_replyTimeoutMs = qMax(0, ms);
}

QString BatchProgrammingThread::deviceIp() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_ip;
}

int BatchProgrammingThread::mode() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_mode;
}

BatchProgrammingThread::Report BatchProgrammingThread::report() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_report;
}

void BatchProgrammingThread::onTaskStart(int index)
{
    {
        QMutexLocker lock(&m_mutex);
        if (index != d->m_index || !d->m_handedOver)
            return;
        d->m_handedOver = false;
        // A worker takes one task at a time; one handed over meanwhile is
        // dropped (the dialog only hands tasks to idle workers).
        if (d->m_running)
            return;
        d->m_running = true;
        d->m_report = Report();
        d->m_report.status = InProgress;
        d->m_run->setInstallTimeout(
            d->m_installTimeoutMs > 0 ? d->m_installTimeoutMs : ProgrammingRun::kInstallTimeoutMs);
        d->m_run->setChunkTimeout(d->m_replyTimeoutMs > 0 ? d->m_replyTimeoutMs : ProgrammingRun::kBatchChunkTimeoutMs);
        d->m_taskIp = d->m_ip;
        d->m_taskMode = d->m_mode;
        d->m_taskType = quint8(d->m_progType);
        d->m_taskFile = d->m_fileName;
        if (d->m_fileChanged) {
            d->m_run->closeImage();
            d->m_fileChanged = false;
        }
    }
    // Nothing of the last task's run is told of this one.
    d->m_run->abort();
    startTask();
}

void BatchProgrammingThread::onTaskStop() { }

void BatchProgrammingThread::startTask()
{
    if (!d->m_comm) {
        d->m_comm = std::make_unique<CommTcp>();
        CommTcp* comm = d->m_comm.get();
        connect(comm, &CommTcp::connectedToDevice, this, &BatchProgrammingThread::onNetworkDevConnected);
        connect(comm, &CommTcp::connectionError, this, &BatchProgrammingThread::onNetworkDevConnectError);
        connect(comm, &CommTcp::gotProgRespond, this, &BatchProgrammingThread::onNetworkProgramResponse);
        // A card that drops the connection, or a write that fails, ends the
        // task instead of leaving it to wait for replies that cannot come.
        connect(comm, &CommTcp::disconnected, this, &BatchProgrammingThread::onLinkLost);
        connect(comm, &CommTcp::sendError, this, &BatchProgrammingThread::onLinkLost);
        connect(comm, &CommTcp::notConnected, this, &BatchProgrammingThread::onLinkLost);
        connect(d->m_run, &ProgrammingRun::sendCmd, comm, &CommTcp::send);
    }
    d->m_taskActive = true;
    d->m_connecting = true;
    // Blocks this worker's thread for up to a second; the GUI thread never
    // waits for it.
    d->m_comm->connectToDevice(d->m_taskIp);
}

void BatchProgrammingThread::finishTask(int status, int reason)
{
    if (!d->m_taskActive)
        return;
    // Over first: the disconnect below may report the closed link at once.
    d->m_taskActive = false;
    d->m_connecting = false;
    d->m_comm->disconnectFromDevice();
    {
        QMutexLocker lock(&m_mutex);
        d->m_running = false;
        d->m_report.status = status;
        d->m_report.reason = status == Succeeded ? int(ProgrammingRun::NoFailure) : reason;
        d->m_report.version = d->m_run->version();
        d->m_report.bytesSent = d->m_taskMode == Program ? d->m_run->sentBytes() : 0;
        d->m_report.resends = d->m_run->resends();
    }
    emit finished();
}

void BatchProgrammingThread::onNetworkDevConnected()
{
    if (!d->m_connecting)
        return;
    d->m_connecting = false;
    if (d->m_taskMode == ReadVersion)
        d->m_run->readVersion(d->m_taskType);
    else
        d->m_run->start(d->m_taskFile, d->m_taskType);
}

void BatchProgrammingThread::onNetworkDevConnectError(QString error)
{
    if (!d->m_connecting)
        return;
    {
        QMutexLocker lock(&m_mutex);
        d->m_report.connectError = error;
    }
    finishTask(Failed, ProgrammingRun::ConnectFailed);
}

void BatchProgrammingThread::onLinkLost()
{
    // While connecting, the link reports the previous connection going; the
    // connect itself answers by connectedToDevice or connectionError.
    if (!d->m_connecting)
        d->m_run->linkLost();
}

void BatchProgrammingThread::onNetworkProgramResponse(int cmd, const quint8* data, int size)
{
    d->m_run->handleReply(cmd, data, size);
}
