#include "batchpool.h"

#include "batchprogrammingthread.h"
#include "firmwarepackage.h"
#include "platform/safesave.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

namespace {

// Copies a plain image block by block into a file that appears only when
// complete; QFile::copy would leave whatever it wrote before a full disk.
bool copyImage(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(to);
    if (!SafeSave::open(out))
        return false;
    char buffer[FirmwarePackage::kBufferSize];
    for (;;) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0) {
            out.cancelWriting();
            return false;
        }
        if (got == 0)
            break;
        if (out.write(buffer, got) != got) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

QByteArray sha256(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QByteArray();
    return hash.result().toHex();
}

} // namespace

BatchPool::BatchPool(int size, QObject* parent)
    : QObject(parent)
{
    const int count = size > 0 ? size : defaultSize();
    for (int i = 0; i < count; ++i) {
        auto* thread = new QThread();
        thread->setObjectName(QStringLiteral("batch worker %1").arg(i + 1));
        auto* worker = new BatchProgrammingThread();
        connect(thread, &QThread::finished, worker, &QObject::deleteLater);
        connect(worker, &BatchProgrammingThread::finished, this, &BatchPool::onWorkerFinished);
        connect(worker, &BatchProgrammingThread::programmingStarted, this, [this](qint64 total) {
            const int i = senderWorker();
            if (i >= 0)
                emit programmingStarted(i, total);
        });
        connect(worker, &BatchProgrammingThread::programmingUpdated, this, [this](qint64 written) {
            const int i = senderWorker();
            if (i >= 0)
                emit programmingUpdated(i, written);
        });
        connect(worker, &BatchProgrammingThread::installationStarted, this, [this] {
            const int i = senderWorker();
            if (i >= 0)
                emit installationStarted(i);
        });
        connect(this, &BatchPool::taskStart, worker, &BatchProgrammingThread::onTaskStart);
        worker->moveToThread(thread);
        thread->start();
        m_threads.append(thread);
        m_workers.append(worker);
        m_busy.append(false);
        m_taskIndex.append(-1);
    }
}

BatchPool::~BatchPool()
{
    // A worker ends its thread once the event in hand is done (a connect
    // takes at most a second) and is deleted there, with its link and timer,
    // as the thread finishes; only then does the thread object go.
    for (QThread* thread : m_threads)
        thread->quit();
    for (QThread* thread : m_threads)
        thread->wait();
    qDeleteAll(m_threads);
}

int BatchPool::defaultSize()
{
    // Qt reports at least one processor thread where it can tell; one worker
    // is the least a batch needs to end.
    return qMax(1, QThread::idealThreadCount());
}

bool BatchPool::prepareImage(const QString& path, bool sendUnchanged)
{
    if (m_running)
        return false;
    FirmwarePackage package(path);
    m_imageCheck = package.failedCheck();
    if (m_imageCheck != FirmwarePackage::Check::Passed && !sendUnchanged)
        return false;
    auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/netquill-batch-XXXXXX"));
    if (!dir->isValid())
        return false;
    const QString image = dir->filePath(QStringLiteral("image.bin"));
    if (!package.extractTo(image) && (package.writeFailed() || !copyImage(path, image)))
        return false;
    m_imageDir = std::move(dir);
    m_image = image;
    m_imageSha256 = sha256(image);
    return true;
}

QString BatchPool::haltText(Halt halt)
{
    switch (halt) {
    case Halt::None: break;
    case Halt::CanaryFailed: return QStringLiteral("canary failed");
    case Halt::FailureLimit: return QStringLiteral("failure limit reached");
    }
    return QString();
}

void BatchPool::setInstallTimeout(int ms)
{
    for (BatchProgrammingThread* worker : m_workers)
        worker->setInstallTimeout(ms);
}

void BatchPool::setReplyTimeout(int ms)
{
    for (BatchProgrammingThread* worker : m_workers)
        worker->setReplyTimeout(ms);
}

bool BatchPool::start(const QStringList& devices, int mode, int type)
{
    return start(devices, mode, type, Rules());
}

bool BatchPool::start(const QStringList& devices, int mode, int type, const Rules& rules)
{
    if (m_running)
        return false;
    m_devices = devices;
    m_mode = mode;
    m_type = type;
    m_rules = rules;
    m_nextIndex = 0;
    m_failures = 0;
    m_halt = Halt::None;
    m_canaryPassed = false;
    m_running = true;
    emit batchStarted();
    handOutToIdleWorkers();
    endWhenDone();
    return true;
}

void BatchPool::appendDevice(const QString& address)
{
    if (!m_running)
        return;
    m_devices.append(address);
    handOutToIdleWorkers();
}

// How far into the list devices may be handed out now.
int BatchPool::handOutLimit() const
{
    if (m_halt != Halt::None)
        return m_nextIndex;
    if (m_rules.canary && !m_canaryPassed)
        return qMin(1, int(m_devices.size()));
    return m_devices.size();
}

void BatchPool::handOutToIdleWorkers()
{
    const int limit = handOutLimit();
    for (int i = 0; i < m_workers.size() && m_nextIndex < limit; ++i) {
        if (m_busy[i])
            continue;
        BatchProgrammingThread* worker = m_workers[i];
        const int index = m_nextIndex++;
        worker->setDevice(m_devices[index], index);
        worker->setMode(m_mode);
        worker->setProgType(m_type);
        if (m_mode == BatchProgrammingThread::Program)
            worker->setProgrammingFile(m_image);
        m_busy[i] = true;
        m_taskIndex[i] = index;
        emit taskStarted(i, index);
        emit taskStart(index);
    }
}

void BatchPool::endWhenDone()
{
    if (!m_running || m_nextIndex < handOutLimit() || m_busy.contains(true))
        return;
    m_running = false;
    // The workers let go of the batch's image, and its copy goes.
    for (BatchProgrammingThread* worker : m_workers)
        worker->setProgrammingFile(QString());
    m_imageDir.reset();
    m_image.clear();
    emit batchFinished();
}

int BatchPool::senderWorker() const
{
    return m_workers.indexOf(qobject_cast<BatchProgrammingThread*>(sender()));
}

void BatchPool::onWorkerFinished()
{
    const int i = senderWorker();
    if (i < 0 || !m_busy[i])
        return;
    m_busy[i] = false;
    const int index = m_taskIndex[i];
    if (m_workers[i]->status() != BatchProgrammingThread::Succeeded) {
        ++m_failures;
        if (m_rules.canary && index == 0 && !m_canaryPassed)
            m_halt = Halt::CanaryFailed;
        else if (m_rules.maxFailures > 0 && m_failures >= m_rules.maxFailures && m_halt == Halt::None)
            m_halt = Halt::FailureLimit;
    } else if (index == 0) {
        m_canaryPassed = true;
    }
    emit taskFinished(i, index);
    handOutToIdleWorkers();
    endWhenDone();
}
