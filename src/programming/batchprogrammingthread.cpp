#include "batchprogrammingthread.h"

#include "chunktransfer.h"
#include "link/commandcodes.h"
#include "link/commtcp.h"
#include "link/resultbyte.h"
#include "versiontext.h"

#include <QMutexLocker>
#include <QTimer>

#include <atomic>

namespace {

std::atomic<int> g_chunkTimeoutMs { BatchProgrammingThread::kChunkTimeoutMs };
std::atomic<int> g_installTimeoutMs { BatchProgrammingThread::kInstallTimeoutMs };

// A programming task asks for the "Firmware" version: it tells which
// transfer the card takes.
constexpr quint8 kFirmwareType = 1;

} // namespace

// Where the running task stands.
enum class TaskState {
    Idle,
    Connecting,
    AwaitingVersion, // command 1 sent
    AwaitingStart, // command 256 sent
    Transferring, // chunks going out
    AwaitingInstallation, // every byte sent; the card installs and reports 259
};

struct BatchProgrammingThread::Private {
    // Parameters, guarded by the worker's mutex.
    QString m_ip;
    QString m_fileName;
    QString m_version;
    int m_index = 0;
    int m_mode = 0;
    int m_progType = 0;
    int m_status = 0;
    int m_reason = NoFailure;
    int m_installTimeoutMs = 0;
    int m_replyTimeoutMs = 0;
    QString m_connectError;
    qint64 m_bytesSent = 0;
    int m_resends = 0;
    bool m_running = false;
    // Set by setDevice, cleared by the start it asks for: a worker starts
    // only a task that has been handed to it, never again on a stale index.
    bool m_handedOver = false;
    // The image changed since the last task: the open one is closed.
    bool m_fileChanged = false;

    // The running task: the worker's thread only.
    std::unique_ptr<QTimer> m_timer;
    std::unique_ptr<CommTcp> m_comm;
    ChunkTransfer m_transfer;
    TaskState m_state = TaskState::Idle;
    QString m_taskIp;
    QString m_taskFile;
    int m_taskMode = 0;
    int m_taskInstallTimeoutMs = 0;
    int m_taskReplyTimeoutMs = 0;
    int m_taskResends = 0;
    bool m_taskInstalling = false;
    quint8 m_taskType = 0;
    // Counts ended tasks, so that code which sent a command can tell that
    // the task was ended meanwhile (a failed send ends it at once).
    quint64 m_taskId = 0;
};

BatchProgrammingThread::BatchProgrammingThread(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
}

BatchProgrammingThread::~BatchProgrammingThread()
{
    d->m_comm.reset();
    d->m_timer.reset();
    d->m_transfer.close();
}

void BatchProgrammingThread::setTimeoutsForTests(int chunkMs, int installMs)
{
    g_chunkTimeoutMs = chunkMs > 0 ? chunkMs : kChunkTimeoutMs;
    g_installTimeoutMs = installMs > 0 ? installMs : kInstallTimeoutMs;
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
        d->m_transfer.close();
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

int BatchProgrammingThread::index() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_index;
}

int BatchProgrammingThread::mode() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_mode;
}

int BatchProgrammingThread::status() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_status;
}

QString BatchProgrammingThread::version() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_version;
}

bool BatchProgrammingThread::isRunning() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_running;
}

int BatchProgrammingThread::failureReason() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_reason;
}

QString BatchProgrammingThread::connectError() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_connectError;
}

qint64 BatchProgrammingThread::bytesSent() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_bytesSent;
}

int BatchProgrammingThread::resends() const
{
    QMutexLocker lock(&m_mutex);
    return d->m_resends;
}

QString BatchProgrammingThread::failureText(int reason)
{
    switch (reason) {
    case ConnectFailed: return QStringLiteral("connect failed");
    case StartRefused: return QStringLiteral("start refused");
    case ChunkRefused: return QStringLiteral("chunk refused");
    case ChunkTimeout: return QStringLiteral("chunk time-out");
    case ConnectionLost: return QStringLiteral("connection lost");
    case InstallationTimeout: return QStringLiteral("installation time-out");
    case ImageUnreadable: return QStringLiteral("image unreadable");
    case NoReply: return QStringLiteral("no reply");
    default: return QString();
    }
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
        d->m_status = InProgress;
        d->m_reason = NoFailure;
        d->m_connectError.clear();
        d->m_bytesSent = 0;
        d->m_resends = 0;
        d->m_taskInstallTimeoutMs = d->m_installTimeoutMs > 0 ? d->m_installTimeoutMs : int(g_installTimeoutMs);
        d->m_taskReplyTimeoutMs = d->m_replyTimeoutMs > 0 ? d->m_replyTimeoutMs : int(g_chunkTimeoutMs);
        d->m_taskResends = 0;
        d->m_taskInstalling = false;
        d->m_taskIp = d->m_ip;
        d->m_taskMode = d->m_mode;
        d->m_taskType = quint8(d->m_progType);
        d->m_taskFile = d->m_fileName;
        if (d->m_fileChanged) {
            d->m_transfer.close();
            d->m_fileChanged = false;
        }
    }
    startTask();
}

void BatchProgrammingThread::onTaskStop() { }

void BatchProgrammingThread::startTask()
{
    if (!d->m_timer) {
        d->m_timer = std::make_unique<QTimer>();
        d->m_timer->setSingleShot(false);
        connect(d->m_timer.get(), &QTimer::timeout, this, &BatchProgrammingThread::onTimerTimeout);
    }
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
    }
    d->m_state = TaskState::Connecting;
    // Blocks this worker's thread for up to a second; the GUI thread never
    // waits for it.
    d->m_comm->connectToDevice(d->m_taskIp);
}

void BatchProgrammingThread::finishTask(int status, int reason)
{
    if (d->m_state == TaskState::Idle)
        return;
    // Idle first: the disconnect below may report the closed link at once.
    d->m_state = TaskState::Idle;
    ++d->m_taskId;
    d->m_timer->stop();
    d->m_comm->disconnectFromDevice();
    {
        QMutexLocker lock(&m_mutex);
        d->m_running = false;
        d->m_status = status;
        d->m_reason = status == Succeeded ? int(NoFailure) : reason;
        d->m_bytesSent = d->m_taskMode == Program ? d->m_transfer.sentBytes() : 0;
        d->m_resends = d->m_taskResends;
    }
    emit finished();
}

void BatchProgrammingThread::onNetworkDevConnected()
{
    if (d->m_state != TaskState::Connecting)
        return;
    d->m_state = TaskState::AwaitingVersion;
    d->m_timer->start(d->m_taskReplyTimeoutMs);
    const quint8 type = d->m_taskMode == ReadVersion ? d->m_taskType : kFirmwareType;
    d->m_comm->send(CommandCode::ReadVersion, QByteArray(1, char(type)));
}

void BatchProgrammingThread::onNetworkDevConnectError(QString error)
{
    if (d->m_state != TaskState::Connecting)
        return;
    {
        QMutexLocker lock(&m_mutex);
        d->m_connectError = error;
    }
    finishTask(Failed, ConnectFailed);
}

void BatchProgrammingThread::onLinkLost()
{
    // While connecting, the link reports the previous connection going; the
    // connect itself answers by connectedToDevice or connectionError.
    if (d->m_state == TaskState::Idle || d->m_state == TaskState::Connecting)
        return;
    finishTask(Failed, ConnectionLost);
}

void BatchProgrammingThread::onNetworkProgramResponse(int cmd, const quint8* data, int size)
{
    switch (cmd) {
    case CommandCode::ReadVersion:
        if (d->m_state == TaskState::AwaitingVersion)
            handleVersionReply(data, size);
        break;
    case CommandCode::StartProgramming:
        if (d->m_state == TaskState::AwaitingStart)
            handleStartReply(data, size);
        break;
    case CommandCode::ImageChunk:
        if (d->m_state == TaskState::Transferring || d->m_state == TaskState::AwaitingInstallation)
            handleChunkReply(data, size);
        break;
    case CommandCode::ProgrammingFinished:
        if (d->m_state == TaskState::AwaitingInstallation) {
            emit programmingUpdated(d->m_transfer.sentBytes());
            finishTask(Succeeded);
        } else if (d->m_state != TaskState::Idle && d->m_state != TaskState::Connecting) {
            // A card that reports the end before it has every byte of the
            // image cannot have installed it.
            finishTask(Failed, ChunkRefused);
        }
        break;
    default: // 258 (installing) and the backup codes
        break;
    }
}

void BatchProgrammingThread::handleVersionReply(const quint8* data, int size)
{
    const QString version = VersionText::versionWord(VersionText::text(data, size));
    {
        QMutexLocker lock(&m_mutex);
        d->m_version = version;
    }
    if (d->m_taskMode == ReadVersion) {
        finishTask(Succeeded);
        return;
    }
    d->m_transfer.setOldProtocol(VersionText::usesOldProtocol(data, size));
    // The first card of a batch opens the image; every further card is sent
    // the same open file from its first byte.
    const bool ready = d->m_transfer.isOpen() ? d->m_transfer.rewind() : d->m_transfer.open(d->m_taskFile);
    if (!ready) {
        finishTask(Failed, ImageUnreadable);
        return;
    }
    d->m_state = TaskState::AwaitingStart;
    d->m_timer->start(d->m_taskReplyTimeoutMs);
    d->m_comm->send(CommandCode::StartProgramming, d->m_transfer.startCommandData(d->m_taskType));
}

void BatchProgrammingThread::handleStartReply(const quint8* data, int size)
{
    if (!ResultByte::succeeded(data, size)) {
        finishTask(Failed, StartRefused);
        return;
    }
    d->m_timer->stop();
    d->m_state = TaskState::Transferring;
    emit programmingStarted(d->m_transfer.totalBytes());
    sendNextChunk();
}

void BatchProgrammingThread::handleChunkReply(const quint8* data, int size)
{
    if (!ResultByte::succeeded(data, size)) {
        finishTask(Failed, ChunkRefused);
        return;
    }
    d->m_transfer.acknowledged();
    emit programmingUpdated(d->m_transfer.sentBytes());
    sendNextChunk();
}

void BatchProgrammingThread::sendNextChunk()
{
    QByteArray chunk;
    switch (d->m_transfer.nextChunk(&chunk)) {
    case ChunkTransfer::Next::Nothing:
        // Every byte is out and acknowledged (an empty image included): the
        // card installs.
        if (d->m_state == TaskState::Transferring) {
            d->m_state = TaskState::AwaitingInstallation;
            d->m_timer->start(d->m_taskInstallTimeoutMs);
        }
        if (d->m_state == TaskState::AwaitingInstallation && !d->m_taskInstalling) {
            d->m_taskInstalling = true;
            emit installationStarted();
        }
        return;
    case ChunkTransfer::Next::ReadError: finishTask(Failed, ImageUnreadable); return;
    case ChunkTransfer::Next::Chunk: break;
    }
    const quint64 task = d->m_taskId;
    d->m_comm->send(CommandCode::ImageChunk, chunk);
    if (task != d->m_taskId)
        return;
    if (d->m_transfer.allSent()) {
        d->m_state = TaskState::AwaitingInstallation;
        d->m_timer->start(d->m_taskInstallTimeoutMs);
    } else {
        d->m_timer->start(d->m_taskReplyTimeoutMs);
    }
}

void BatchProgrammingThread::onTimerTimeout()
{
    switch (d->m_state) {
    case TaskState::Idle:
    case TaskState::Connecting: d->m_timer->stop(); return;
    case TaskState::Transferring:
        if (d->m_transfer.timeout() == ChunkTransfer::Timeout::Resend) {
            ++d->m_taskResends;
            d->m_comm->send(CommandCode::ImageChunk, d->m_transfer.lastChunk());
            return;
        }
        break;
    case TaskState::AwaitingVersion:
    case TaskState::AwaitingStart:
        // No chunk went out yet: the card never answered at all.
        finishTask(Failed, NoReply);
        return;
    case TaskState::AwaitingInstallation: finishTask(Failed, InstallationTimeout); return;
    }
    finishTask(Failed, ChunkTimeout);
}
