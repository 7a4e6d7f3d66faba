#include "programmingrun.h"

#include "firmwarepackage.h"
#include "link/commandcodes.h"
#include "link/resultbyte.h"
#include "versiontext.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

namespace {

// The run's version request always asks for the "Firmware" component: its
// version tells which transfer the card takes.
constexpr quint8 kFirmwareType = 1;

} // namespace

ProgrammingRun::ProgrammingRun(const Policy& policy, QObject* parent)
    : QObject(parent)
    , m_policy(policy)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::CoarseTimer);
    connect(m_timer, &QTimer::timeout, this, &ProgrammingRun::onTimeout);
    m_clock.start();
}

ProgrammingRun::~ProgrammingRun()
{
    releaseImage();
}

void ProgrammingRun::setChunkTimeout(int ms)
{
    if (ms > 0)
        m_policy.chunkTimeoutMs = ms;
}

void ProgrammingRun::setInstallTimeout(int ms)
{
    if (ms > 0)
        m_policy.installTimeoutMs = ms;
}

void ProgrammingRun::start(const QString& image, quint8 type)
{
    abort();
    m_image = image;
    m_type = type;
    m_versionOnly = false;
    m_state = State::AwaitingVersion;
    // Without a card no version reply comes: the run ends by itself.
    arm(m_policy.chunkTimeoutMs);
    emit sendCmd(CommandCode::ReadVersion, QByteArray(1, char(kFirmwareType)));
}

void ProgrammingRun::readVersion(quint8 type)
{
    abort();
    m_versionOnly = true;
    m_state = State::AwaitingVersion;
    arm(m_policy.chunkTimeoutMs);
    emit sendCmd(CommandCode::ReadVersion, QByteArray(1, char(type)));
}

bool ProgrammingRun::handleReply(int cmd, const quint8* data, int size)
{
    switch (cmd) {
    case CommandCode::ReadVersion:
        if (m_state != State::AwaitingVersion)
            return false;
        m_version = VersionText::versionWord(VersionText::text(data, size));
        if (m_versionOnly)
            finish(NoFailure);
        else
            openImage(data, size);
        return true;
    case CommandCode::StartProgramming:
        if (m_state != State::AwaitingStart)
            return false;
        if (!ResultByte::succeeded(data, size)) {
            finish(StartRefused);
            return true;
        }
        m_state = State::Transferring;
        disarm();
        emit transferStarted(m_transfer.totalBytes());
        sendNextChunk();
        return true;
    case CommandCode::ImageChunk:
        if (m_state != State::Transferring && m_state != State::AwaitingInstallation)
            return false;
        if (!ResultByte::succeeded(data, size)) {
            finish(ChunkRefused);
            return true;
        }
        m_transfer.acknowledged();
        emit chunkAcknowledged(m_transfer.sentBytes());
        sendNextChunk();
        return true;
    case CommandCode::Installing:
        // Mid-transfer the card cannot be installing this image: the run goes
        // on (and times out if the card really stopped taking chunks).
        if (m_state != State::AwaitingInstallation)
            return false;
        m_state = State::Installing;
        if (m_policy.imagePerRun)
            releaseImage();
        emit installing();
        return true;
    case CommandCode::ProgrammingFinished:
        if (m_state == State::AwaitingInstallation || m_state == State::Installing)
            finish(NoFailure);
        else if (m_state == State::Transferring)
            finish(ChunkRefused);
        else
            return false;
        return true;
    default: return false;
    }
}

void ProgrammingRun::linkLost()
{
    if (m_state != State::Idle)
        finish(ConnectionLost);
}

void ProgrammingRun::abort()
{
    ++m_generation;
    m_state = State::Idle;
    m_acknowledgedAll = false;
    m_failure = NoFailure;
    m_resends = 0;
    m_version.clear();
    disarm();
    m_timer->stop();
    if (m_policy.imagePerRun)
        releaseImage();
    else
        m_transfer.rewind();
}

void ProgrammingRun::closeImage()
{
    m_transfer.close();
}

// The page unwraps a firmware package into the temporary image once the card
// has answered; the worker sends the batch's open image from its first byte.
void ProgrammingRun::openImage(const quint8* data, int size)
{
    m_transfer.setOldProtocol(VersionText::usesOldProtocol(data, size));
    bool ready = false;
    if (m_policy.imagePerRun) {
        QString path = m_image;
        FirmwarePackage package(path);
        if (package.extractToTemporary())
            path = FirmwarePackage::temporaryImagePath();
        ready = !package.writeFailed() && m_transfer.open(path);
        if (!ready && FirmwarePackage::isTemporaryImage(path))
            QFile::remove(path);
    } else {
        ready = m_transfer.isOpen() ? m_transfer.rewind() : m_transfer.open(m_image);
    }
    if (!ready) {
        finish(ImageUnreadable);
        return;
    }
    m_state = State::AwaitingStart;
    arm(m_policy.chunkTimeoutMs);
    emit sendCmd(CommandCode::StartProgramming, m_transfer.startCommandData(m_type));
}

void ProgrammingRun::sendNextChunk()
{
    switch (m_transfer.nextChunk()) {
    case ChunkTransfer::Next::Nothing:
        // Every byte is out and acknowledged, an empty image included.
        if (m_state == State::Transferring) {
            m_state = State::AwaitingInstallation;
            arm(m_policy.installTimeoutMs);
        }
        if (!m_acknowledgedAll && m_state == State::AwaitingInstallation) {
            m_acknowledgedAll = true;
            emit installationAwaited();
        }
        return;
    case ChunkTransfer::Next::ReadError: finish(ImageUnreadable); return;
    case ChunkTransfer::Next::Chunk: break;
    }
    const quint64 generation = m_generation;
    emit sendCmd(CommandCode::ImageChunk, m_transfer.lastChunk());
    // A failed send may have ended the run meanwhile.
    if (generation != m_generation)
        return;
    if (m_transfer.allSent()) {
        // No resend of the last chunk: the card reports the installation.
        m_state = State::AwaitingInstallation;
        arm(m_policy.installTimeoutMs);
    } else {
        arm(m_policy.chunkTimeoutMs);
    }
    emit chunkSent(m_transfer.sentBytes());
}

void ProgrammingRun::arm(int ms)
{
    const qint64 now = m_clock.elapsed();
    const qint64 due = now + ms;
    // A timer already due no later than this wait ends is left running: it
    // waits again for what is left when it fires.
    if (!m_timer->isActive() || m_deadline < 0 || due < m_deadline)
        m_timer->start(ms);
    m_deadline = due;
}

void ProgrammingRun::onTimeout()
{
    if (m_deadline < 0 || m_state == State::Idle)
        return;
    const qint64 left = m_deadline - m_clock.elapsed();
    if (left > 0) {
        m_timer->start(int(left));
        return;
    }
    switch (m_state) {
    case State::Idle: return;
    case State::AwaitingVersion:
    case State::AwaitingStart: finish(NoReply); return;
    case State::Transferring:
        if (m_transfer.timeout() == ChunkTransfer::Timeout::GiveUp) {
            finish(ChunkTimeout);
            return;
        }
        ++m_resends;
        arm(m_policy.chunkTimeoutMs);
        emit sendCmd(CommandCode::ImageChunk, m_transfer.lastChunk());
        return;
    case State::AwaitingInstallation:
    case State::Installing: finish(InstallationTimeout); return;
    }
}

// Over before anyone hears of it: a reply arriving while a caller's box is
// open changes nothing.
void ProgrammingRun::finish(int failure)
{
    ++m_generation;
    m_failure = failure;
    m_state = State::Idle;
    m_acknowledgedAll = false;
    disarm();
    m_timer->stop();
    if (m_policy.imagePerRun)
        releaseImage();
    emit finished(failure);
}

// Only the temporary image goes; a file of the technician's whose name merely
// ends the same way stays.
void ProgrammingRun::releaseImage()
{
    const QString image = m_transfer.fileName();
    const bool wasOpen = m_transfer.isOpen();
    m_transfer.reset();
    if (wasOpen && FirmwarePackage::isTemporaryImage(image))
        QFile::remove(image);
}

QString ProgrammingRun::failureText(int failure)
{
    switch (failure) {
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

QString ProgrammingRun::failureMessage(int failure)
{
    const char* text = nullptr;
    switch (failure) {
    case StartRefused: text = QT_TRANSLATE_NOOP("ProgrammingPage", "Start programming failed!"); break;
    case ChunkRefused:
    case ConnectionLost: text = QT_TRANSLATE_NOOP("ProgrammingPage", "Programming failed!"); break;
    case ChunkTimeout:
    case InstallationTimeout:
    case NoReply: text = QT_TRANSLATE_NOOP("ProgrammingPage", "Programming timeout!"); break;
    case ImageUnreadable: text = QT_TRANSLATE_NOOP("ProgrammingPage", "Open programming file failed!"); break;
    default: return QString();
    }
    return QCoreApplication::translate("ProgrammingPage", text);
}
